#include "regscan/FontsScan.h"

#include <exception>

#include "base/ComSupport.h"
#include "regscan/FileSeeker.h"
#include "regscan/RegKey.h"
#include "regscan/ScanTypes.h"
#include "regscan/ScannerLog.h"
#include "regscan/TrimText.h"
#include "base/StringFormat.h"

namespace RegistryKelvadorLib
{
CFontsScan::CFontsScan() : CRegScan(ScanTypeFonts)
{
}

void CFontsScan::Scan(CRegErrorContainer* container, ScanCallback callback)
{
    BeginScan(container, callback);
    m_root = HKEY_LOCAL_MACHINE;
    m_minValueDepth = 0;
    m_currentKey = m_fontsKey;
    WriteScannerLog(L"Begin scan Font errors");
    ReportProgress(0, std::wstring());
    ScanKey(m_fontsKey, 0, 0, 99);
    WriteScannerLog(FormatText(L"End scan Font errors. Total errors = %i", ErrorsFound()));
    ReportProgress(100, std::wstring());
}

void CFontsScan::CheckValue(CRegValue* value)
{
    // Written to the log rather than shown: the scan runs on a worker of a
    // benchmark nobody is watching, and a message box would stall it.
    try
    {
        CheckFont(*value);
    }
    catch (const CComError& error)
    {
        WriteScannerLog(FormatText(L"Parameters:\n%ls\nReason:\n(%x)", value->Dump().c_str(),
                                   static_cast<unsigned>(error.GetResult())));
    }
    catch (const std::exception& error)
    {
        WriteScannerLog(FormatText(L"Parameters:\n%ls\nReason:\n%hs", value->Dump().c_str(), error.what()));
    }
    catch (...)
    {
        WriteScannerLog(L"Unknown exception\nParameters:\n" + value->Dump());
    }
}

void CFontsScan::CheckFont(const CRegValue& value)
{
    const std::wstring data = DataAsText(value);
    if (data.empty())
    {
        AddError(std::make_unique<CDeleteValue>(value, ProblemFontEmpty), m_currentKey + L"\\");
        return;
    }
    std::wstring path = TrimText(data, L"\" ");
    // The folder is joined to the data as stored, quotes included.
    if (path.find(L'\\') == std::wstring::npos)
        path = ExpandEnvironment(L"%systemroot%") + L"\\Fonts\\" + data;
    SearchList searchList;
    if (!FileExists(path, searchList, false))
        AddError(std::make_unique<CDeleteValue>(value, ProblemFileMissing), m_currentKey + L"\\" + data);
}
}
