#include "regscan/HelpFilesScan.h"

#include "regscan/FileSeeker.h"
#include "regscan/ScanTypes.h"
#include "regscan/ScannerLog.h"
#include "base/StringFormat.h"

namespace RegistryKelvadorLib
{
CHelpFilesScan::CHelpFilesScan() : CRegScan(ScanTypeHelpFiles)
{
}

void CHelpFilesScan::Scan(CRegErrorContainer* container, ScanCallback callback)
{
    struct Walk
    {
        const wchar_t* key;
        int percentsStart;
        int percentsInterval;
    };
    static const Walk walks[] = {
        {L"SOFTWARE\\Microsoft\\Windows\\Help", 0, 25},
        {L"SOFTWARE\\Microsoft\\Windows\\Html Help", 25, 25},
        {L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\Help", 50, 25},
        {L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\HTML Help", 75, 24},
    };

    BeginScan(container, callback);
    m_root = HKEY_LOCAL_MACHINE;
    m_minValueDepth = 0;
    WriteScannerLog(L"Start scan Help Files");
    ReportProgress(0, std::wstring());
    for (const Walk& walk : walks)
        ScanKey(walk.key, -1, walk.percentsStart, walk.percentsInterval);
    WriteScannerLog(FormatText(L"End scan Help files. Total errors = %i", ErrorsFound()));
    ReportProgress(100, std::wstring());
}

void CHelpFilesScan::CheckValue(CRegValue* value)
{
    std::wstring folder = DataAsText(*value);
    if (folder.empty())
        return;
    if (folder.back() != L'\\')
        folder += L'\\';
    std::wstring path = folder + value->GetValueName();
    std::wstring arguments;
    if (!FindFile(path, arguments, false))
        AddError(std::make_unique<CDeleteValue>(*value, ProblemHelpFileMissing),
                 DisplayPath(value->GetRoot(), value->GetKeyPath()));
}
}
