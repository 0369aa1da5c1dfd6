#include "regscan/AppPathScan.h"

#include "regscan/FileSeeker.h"
#include "regscan/RegKey.h"
#include "regscan/ScanTypes.h"
#include "regscan/ScannerLog.h"
#include "regscan/TrimText.h"
#include "base/StringFormat.h"

namespace RegistryKelvadorLib
{
namespace
{
const REGSAM kWalkAccess = 0x2001F;
}

CAppPathScan::CAppPathScan() : CRegScan(ScanTypeAppPath)
{
}

void CAppPathScan::Scan(CRegErrorContainer* container, ScanCallback callback)
{
    BeginScan(container, callback);
    m_root = HKEY_LOCAL_MACHINE;
    // The App Paths key itself and the application keys below it.
    m_minValueDepth = KeyDepth(m_appPathsKey);
    m_currentKey = m_appPathsKey;
    WriteScannerLog(L"Start scan App Paths");
    ReportProgress(0, std::wstring());
    ScanKey(m_appPathsKey, 1, 0, 99);
    ReportProgress(100, std::wstring());
    WriteScannerLog(FormatText(L"End scan App Path. Total erros = %i", ErrorsFound()));
}

void CAppPathScan::ScanValues(HKEY key, const std::wstring& /*keyPath*/, DWORD /*valueCount*/, DWORD /*longestName*/,
                              DWORD longestData, REGSAM /*accessFlags*/)
{
    CRegistryKey application;
    if (application.Open(key, std::wstring(), kWalkAccess) != ERROR_SUCCESS)
        return;
    // The App Paths key itself normally has no default value.
    std::wstring program;
    if (!ReadStringValue(application.Get(), std::wstring(), longestData, program))
        return;
    program = TrimText(program, L"\" ");
    SearchList searchList;
    if (!FileExists(program, searchList, true))
        AddError(std::make_unique<CDeleteKey>(m_root, m_currentKey, ProblemFileMissing),
                 m_currentKey + L"\\" + program);
}
}
