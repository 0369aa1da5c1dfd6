#include "regscan/FileSeeker.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <regex>

#include "regscan/RegKey.h"
#include "regscan/ScannerLog.h"
#include "base/StringFormat.h"

namespace RegistryKelvadorLib
{
namespace
{
// File parts are matched in this much of a command line at most. No path
// comes near it, and the regular expression engine recurses once per
// character, so a longer text could exhaust the stack.
const size_t kLongestMatchedText = 2048;

std::wstring Trim(const std::wstring& text, bool (*isTrimmed)(wchar_t))
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && isTrimmed(text[first]))
        ++first;
    while (last > first && isTrimmed(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool IsSpace(wchar_t character)
{
    return std::iswspace(character) != 0;
}

bool IsQuote(wchar_t character)
{
    return character == L'"';
}

std::wstring WithoutQuotes(std::wstring text)
{
    text.erase(std::remove(text.begin(), text.end(), L'"'), text.end());
    return text;
}

std::wstring EnvironmentValue(const wchar_t* name)
{
    DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0)
        return std::wstring();
    std::wstring value(needed, L'\0');
    DWORD written = GetEnvironmentVariableW(name, &value[0], needed);
    value.resize(written < needed ? written : 0);
    return value;
}

// The standard folders; the WOW64 system folder only for FindFile.
SearchList BuildSearchList(bool withWow64Folder)
{
    SearchList list = {L"%systemroot%\\system32\\", L"%systemroot%\\"};
    if (withWow64Folder)
        list.push_back(L"%systemroot%\\sysWow64\\");
    list.push_back(EnvironmentValue(L"ProgramFiles") + L"\\Internet Explorer\\");
    std::wstring path = EnvironmentValue(L"PATH");
    size_t start = 0;
    while (start <= path.size())
    {
        size_t end = path.find(L';', start);
        if (end == std::wstring::npos)
            end = path.size();
        std::wstring entry = path.substr(start, end - start);
        if (!entry.empty())
            list.push_back(entry.back() == L'\\' ? entry : entry + L"\\");
        start = end + 1;
    }
    return list;
}

// The ":\" of a drive path, then each folder on the way, must exist; then
// the last part is tried up to each of its spaces, and whole.
bool ResolveDrivePath(const std::wstring& work, std::wstring& text, std::wstring& arguments)
{
    size_t lastSlash = 2;
    for (size_t next = work.find(L'\\', lastSlash + 1); next != std::wstring::npos;
         next = work.find(L'\\', lastSlash + 1))
    {
        if (!PathExists(work.substr(0, next), true))
            return false;
        lastSlash = next;
    }
    std::wstring folder = work.substr(0, lastSlash);
    std::wstring last = work.substr(lastSlash + 1);
    for (size_t space = last.find(L' '); ; space = last.find(L' ', space + 1))
    {
        std::wstring candidate = folder + L"\\" + last.substr(0, space);
        if (PathExists(candidate, false))
        {
            text = candidate;
            size_t rest = work.size() > candidate.size() ? work.size() - candidate.size() - 1 : 0;
            arguments = work.substr(work.size() - rest);
            return true;
        }
        if (space == std::wstring::npos)
            break;
    }
    text = folder + L"\\" + last;
    return false;
}

bool Resolve(std::wstring& text, std::wstring& arguments, bool asDirectory, bool searchList)
{
    const std::wstring diagnostic = L"File seeker didn't find file (in - " + text + L") (out -";
    auto fail = [&]() {
        WriteScannerLog(diagnostic + FormatText(L"%ls )", text.c_str()));
        return false;
    };

    if (PathExists(text, asDirectory))
        return true;
    std::wstring expanded = ExpandEnvironment(text);
    if (PathExists(expanded, asDirectory))
    {
        text = expanded;
        return true;
    }

    if (!expanded.empty() && expanded[0] == L'"')
    {
        size_t quote = expanded.find(L'"', 1);
        std::wstring candidate =
            quote == std::wstring::npos ? std::wstring() : Trim(expanded.substr(0, quote), IsQuote);
        if (PathExists(candidate, asDirectory))
        {
            arguments = Trim(expanded.substr(quote + 1), IsSpace);
            text = candidate;
            return true;
        }
    }

    std::wstring work = Trim(WithoutQuotes(ToLower(expanded)), IsSpace);
    size_t drive = work.find(L":\\");
    if (drive == 1)
        return ResolveDrivePath(work, text, arguments) || fail();
    if (drive != std::wstring::npos)
        work = drive == 0 ? std::wstring() : Trim(work.substr(0, drive - 1), IsSpace);

    if (!searchList)
        return fail();
    for (const std::wstring& entry : BuildSearchList(true))
    {
        std::wstring candidate = FormatText(L"%ls%ls", entry.c_str(), work.c_str());
        if (Resolve(candidate, arguments, asDirectory, false))
        {
            text = candidate;
            return true;
        }
    }
    return fail();
}
}

bool PathExists(std::wstring path, bool asDirectory)
{
    if (asDirectory)
        while (!path.empty() && path.back() == L'\\')
            path.pop_back();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return !asDirectory || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::wstring& path, SearchList& searchList, bool expand)
{
    if (PathExists(expand ? ExpandEnvironment(path) : path, false))
        return true;
    if (!expand || path.find(L'\\') != std::wstring::npos)
        return false;
    if (searchList.empty())
        searchList = BuildSearchList(false);
    for (const std::wstring& entry : searchList)
        if (PathExists(FormatText(L"%ls%ls", ExpandEnvironment(entry).c_str(), path.c_str()), false))
            return true;
    return false;
}

bool FindFile(std::wstring& text, std::wstring& arguments, bool asDirectory)
{
    return Resolve(text, arguments, asDirectory, true);
}

std::wstring SplitCommandLine(const std::wstring& commandLine, std::wstring& arguments)
{
    static const std::wregex drivePath(LR"(^"?[A-Za-z]:(\\[^/:"]+)\\[^/:\\"]+\.[^/:\\]*?(?=("|\s|$)))",
                                       std::regex_constants::ECMAScript);
    static const std::wregex bareName(LR"(^"?[^/:\\"]+?\.[^/:\\]*?(?=("|\s|$)))", std::regex_constants::ECMAScript);

    const std::wstring expanded = ExpandEnvironment(commandLine);
    const std::wstring matched = expanded.substr(0, kLongestMatchedText);
    std::wsmatch match;
    if (!std::regex_search(matched, match, drivePath) && !std::regex_search(matched, match, bareName))
        return commandLine;
    std::wstring file = match.str(0);
    arguments = Trim(file.size() < expanded.size() ? expanded.substr(file.size() + 1) : std::wstring(), IsQuote);
    return Trim(file, IsQuote);
}

bool IsAbsolutePath(const std::wstring& text)
{
    std::wstring path = WithoutQuotes(text);
    return !path.empty() && std::iswalpha(path[0]) && path.find(L":\\") == 1;
}

bool IsMissingPath(std::wstring text)
{
    std::wstring arguments;
    return IsAbsolutePath(text) && !FindFile(text, arguments, false) && !FindFile(text, arguments, true);
}
}
