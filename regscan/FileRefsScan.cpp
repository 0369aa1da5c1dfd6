#include "regscan/FileRefsScan.h"

#include "regscan/FileSeeker.h"
#include "regscan/RegKey.h"
#include "regscan/ScanTypes.h"
#include "regscan/ScannerLog.h"
#include "shell/StringFormat.h"

namespace RegistryKelvadorLib
{
namespace
{
const int kPercentsPerRoot = 16;
}

CFileRefsScan::CFileRefsScan(std::wstring userSid) : CRegScan(ScanTypeFileRefs), m_userSid(std::move(userSid))
{
    for (const wchar_t* excluded :
         {L"CurrentControlSet", L".DEFAULT", L"SOFTWARE\\Classes", L"SOFTWARE\\Microsoft", L"ControlSet", L"wow6432node"})
        ExcludeKey(excluded);
}

void CFileRefsScan::Scan(CRegErrorContainer* container, ScanCallback callback)
{
    BeginScan(container, callback);
    m_minValueDepth = 0;
    WriteScannerLog(L"Begin scan file ref.");
    ReportProgress(0, std::wstring());

    if (m_userSid.empty())
        ScanRoot(HKEY_CURRENT_USER, std::wstring(), L"HKCU", 0);
    else
        ScanRoot(HKEY_USERS, m_userSid, L"HKCU", 0);
    ScanRoot(HKEY_LOCAL_MACHINE, std::wstring(), L"HKLM", 25);
    ScanRoot(HKEY_CURRENT_CONFIG, std::wstring(), L"HKCC", 50);

    ReportProgress(100, std::wstring());
    WriteScannerLog(FormatText(L"End scan file ref. Total errors = %i", ErrorsFound()));
}

void CFileRefsScan::ScanRoot(HKEY root, const std::wstring& startKey, const wchar_t* shortName, int percentsStart)
{
    WriteScannerLog(FormatText(L"Start scan %ls", shortName));
    int errorsBefore = ErrorsFound();
    m_root = root;
    ScanKey(startKey, -1, percentsStart, kPercentsPerRoot);
    WriteScannerLog(FormatText(L"End scan %ls, %i errors found", shortName, ErrorsFound() - errorsBefore));
}

void CFileRefsScan::CheckValue(CRegValue* value)
{
    // A list of paths is judged by its last one alone.
    const std::wstring text = ExpandEnvironment(DataAsText(*value));
    const size_t last = text.find_last_not_of(L",;");
    if (last == std::wstring::npos)
        return;
    const size_t separator = text.find_last_of(L",;", last);
    const size_t first = separator == std::wstring::npos ? 0 : separator + 1;
    const std::wstring token = text.substr(first, last + 1 - first);
    std::wstring arguments;
    if (IsMissingPath(SplitCommandLine(token, arguments)) && IsMissingPath(token))
        AddError(std::make_unique<CDeleteValue>(*value, ProblemFileReferenceMissing),
                 DisplayPath(value->GetRoot(), value->GetKeyPath()));
}
}
