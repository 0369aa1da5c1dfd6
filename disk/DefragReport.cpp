#include "disk/DefragReport.h"

#include <cwchar>
#include <cstdlib>
#include <vector>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>

#include "base/Log.h"
#include "base/StringFormat.h"

namespace
{
// Splits at every one of the separators, keeping empty tokens.
std::vector<std::wstring> Split(const std::wstring& text, const wchar_t* separators)
{
    std::vector<std::wstring> tokens;
    boost::algorithm::split(tokens, text, boost::algorithm::is_any_of(separators),
                            boost::algorithm::token_compress_off);
    return tokens;
}

std::wstring BeforePercent(const std::wstring& token)
{
    return token.substr(0, token.find(L'%'));
}

// A figure without a number is no result: an error message that happens to
// fit a rule (Windows 7 names the volume in parentheses) must not read as 0 %.
// Nor is a figure outside 0..100: the disk's score term would turn negative
// or pass its maximum.
bool ReadFigure(const std::wstring& figure, double& percent)
{
    Log(FormatText(L"fragmentation = %ls%%", figure.c_str()));
    wchar_t* end = nullptr;
    double value = std::wcstod(figure.c_str(), &end);
    if (end == figure.c_str() || !(value >= 0 && value <= 100))
        return false;
    percent = value;
    return true;
}
}

std::wstring DefragArguments(const std::wstring& drive, DefragForm form)
{
    switch (form)
    {
    case DefragForm::Windows7:
        return drive + L": /u /a";
    case DefragForm::Windows8OrLater:
        // Analysis with progress ("defrag" in the Windows commands reference
        // on Microsoft Learn: defrag <volumes> /a [/h] [/m [n]| [/u] [/v]]).
        return drive + L": /a /u";
    default:
        return drive + L": -a";
    }
}

bool ParseFragmentation(const std::wstring& report, DefragForm form, double& percent)
{
    // Windows 7 and the drive optimizer of Windows 8 and later list volume
    // size, free space, then "Total fragmented space = <f>%": the fourth
    // "=" token. Counting the figures, not reading their labels, holds in
    // every language of Windows.
    if (form != DefragForm::XpOrVista)
    {
        std::vector<std::wstring> tokens = Split(report, L"=");
        if (tokens.size() >= 4)
        {
            Log(form == DefragForm::Windows7 ? L"Parsing Seven defrag output" : L"Parsing drive optimizer output");
            return ReadFigure(BeforePercent(tokens[3]), percent);
        }
        // The optimizer names the drive in parentheses ("Invoking analysis
        // on (C:)..."): the XP rule would read the volume size.
        if (form == DefragForm::Windows8OrLater)
            return false;
    }

    // Windows XP: "... Free,  <f>% Fragmented (<ff>% file fragmentation)",
    // the text after the copyright's "(c)" and the free share "(<p>%)".
    std::vector<std::wstring> parts = Split(report, L"()");
    if (parts.size() >= 5)
    {
        Log(L"Parsing XP defrag output");
        std::wstring figure = parts[4];
        boost::algorithm::trim_if(figure, !boost::algorithm::is_digit());
        return ReadFigure(figure, percent);
    }

    // Windows Vista: "Percent file fragmentation = <f> %" is the fifth figure.
    std::vector<std::wstring> tokens = Split(report, L"=");
    if (tokens.size() >= 5)
    {
        Log(L"Parsing Vista defrag output");
        return ReadFigure(BeforePercent(tokens[4]), percent);
    }
    return false;
}

int ParseProgress(const std::wstring& output)
{
    size_t percentSign = output.rfind(L'%');
    if (percentSign == std::wstring::npos)
        return -1;
    size_t start = percentSign >= 3 ? percentSign - 3 : 0;
    std::wstring digits = output.substr(start, percentSign - start);
    boost::algorithm::trim(digits);
    // "999%" in a damaged report is no progress to show.
    const long percent = std::wcstol(digits.c_str(), nullptr, 10);
    return percent >= 0 && percent <= 100 ? static_cast<int>(percent) : -1;
}
