#include "regscan/WinStartupScan.h"

#include "regscan/FileSeeker.h"
#include "regscan/ScanTypes.h"
#include "regscan/ScannerLog.h"
#include "base/StringFormat.h"

namespace RegistryKelvadorLib
{
namespace
{
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
}

CWinStartupScan::CWinStartupScan(std::wstring userSid)
    : CRegScan(ScanTypeWinStartup), m_userSid(std::move(userSid))
{
}

void CWinStartupScan::Scan(CRegErrorContainer* container, ScanCallback callback)
{
    BeginScan(container, callback);
    m_minValueDepth = 0;
    ReportProgress(0, std::wstring());
    m_root = m_userSid.empty() ? HKEY_CURRENT_USER : HKEY_USERS;
    ScanKey(m_userSid + L"\\" + kRunKey, 1, 0, 50);
    m_root = HKEY_LOCAL_MACHINE;
    ScanKey(kRunKey, 1, 50, 49);
    WriteScannerLog(FormatText(L"End scan Windows Startup Items errors. Total errors = %i", ErrorsFound()));
    ReportProgress(100, std::wstring());
}

void CWinStartupScan::CheckValue(CRegValue* value)
{
    std::wstring program = DataAsText(*value);
    std::wstring arguments;
    if (!FindFile(program, arguments, false))
        AddError(std::make_unique<CDeleteValue>(*value, ProblemStartupFileMissing),
                 DisplayPath(value->GetRoot(), value->GetKeyPath()));
}
}
