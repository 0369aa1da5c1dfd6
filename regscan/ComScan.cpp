#include "regscan/ComScan.h"

#include "regscan/FileSeeker.h"
#include "regscan/RegKey.h"
#include "regscan/ScanTypes.h"
#include "regscan/ScannerLog.h"
#include "base/StringFormat.h"

namespace RegistryKelvadorLib
{
namespace
{
bool EqualsIgnoringCase(const std::wstring& left, const wchar_t* right)
{
    return _wcsicmp(left.c_str(), right) == 0;
}

// The key path up to its last backslash.
std::wstring ParentPath(const std::wstring& keyPath)
{
    size_t slash = keyPath.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : keyPath.substr(0, slash);
}

std::wstring ReplaceAll(std::wstring text, const std::wstring& from, const std::wstring& to)
{
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}
}

std::wstring LastComponent(const std::wstring& keyPath)
{
    size_t slash = keyPath.rfind(L'\\');
    if (slash == std::wstring::npos || slash == 0)
        return keyPath;
    return keyPath.substr(slash + 1);
}

struct CComScan::Walk
{
    const wchar_t* startLine;
    const wchar_t* startKey;
    int nDeep;
    int percentsStart;
    Mode mode;
    int minValueDepth;
    bool wowView;
    const wchar_t* endLine;
};

CComScan::CComScan() : CRegScan(ScanTypeCom)
{
}

void CComScan::Scan(CRegErrorContainer* container, ScanCallback callback)
{
    static const Walk walks[] = {
        {L"Start scan HKCR\\CLSID", L"CLSID", -1, 0, ModeClsid, 2, false, L"End scan HKCR\\CLSID. %i errros found"},
        {L"Start scan HKCR\\Wow6432Node\\CLSID", L"Wow6432Node\\CLSID", -1, 15, ModeClsid, 2, true,
         L"End scan HKCR\\Wow6432Node\\CLSID. %i errros found"},
        {L"Start scan HKCR\\AppID", L"AppID", 2, 30, ModeAppId, 1, false, L"End scan HKCR\\AppID. %i errros found"},
        {L"Start scan HKCR\\Wow6432Node\\AppID", L"Wow6432Node\\AppID", 3, 45, ModeAppId, 2, true,
         L"End scan HKCR\\Wow6432Node\\AppID. %i errros found"},
        {L"Start scan HKCR for ProgID", L"", 2, 60, ModeProgId, 1, false, L"End scan for ProgID. %i errros found"},
        {L"Start scan HKCR\\Wow6432Node for ProgID", L"Wow6432Node", 2, 75, ModeProgId, 2, true,
         L"End scan for ProgID. %i errros found"},
    };

    BeginScan(container, callback);
    m_root = HKEY_CLASSES_ROOT;
    WriteScannerLog(L"Start scan COM errors");
    ReportProgress(0, std::wstring());
    try
    {
        for (const Walk& walk : walks)
            RunWalk(walk);
        ReportProgress(100, std::wstring());
    }
    catch (...)
    {
        WriteScannerLog(FormatText(L"%ls (last error = %d)", L"Unknown exception occured in Com scan.",
                                   static_cast<int>(GetLastError())));
    }
    WriteScannerLog(FormatText(L"End scan COM errors. Total errors = %i", ErrorsFound()));
}

void CComScan::RunWalk(const Walk& walk)
{
    const int kPercentsPerWalk = 15;
    WriteScannerLog(walk.startLine);
    m_mode = walk.mode;
    m_minValueDepth = walk.minValueDepth;
    m_wowView = walk.wowView;
    int errorsBefore = ErrorsFound();
    ScanKey(walk.startKey, walk.nDeep, walk.percentsStart, kPercentsPerWalk);
    WriteScannerLog(FormatText(walk.endLine, ErrorsFound() - errorsBefore));
}

void CComScan::CheckValue(CRegValue* value)
{
    std::wstring data = DataAsText(*value);
    switch (m_mode)
    {
    case ModeClsid:
        if (value->GetValueName().empty() && !data.empty())
            CheckClassValue(*value, data);
        break;
    case ModeAppId:
        if (EqualsIgnoringCase(value->GetValueName(), L"AppID"))
            CheckAppIdValue(*value, data);
        break;
    case ModeProgId:
        if (value->GetValueName().empty() && EqualsIgnoringCase(LastComponent(value->GetKeyPath()), L"CLSID"))
            CheckProgIdValue(*value, data);
        break;
    }
}

void CComScan::CheckClassValue(const CRegValue& value, const std::wstring& data)
{
    const std::wstring name = LastComponent(value.GetKeyPath());
    const std::wstring& keyPath = value.GetKeyPath();
    if (EqualsIgnoringCase(name, L"InprocServer") || EqualsIgnoringCase(name, L"InprocServer32") ||
        EqualsIgnoringCase(name, L"LocalServer") || EqualsIgnoringCase(name, L"LocalServer32"))
    {
        CheckServer(value, data);
    }
    else if (EqualsIgnoringCase(name, L"AppID"))
    {
        if (!KeyExists(m_root, L"AppID\\" + data) && (!m_wowView || !KeyExists(m_root, L"Wow6432Node\\AppID\\" + data)))
            AddError(std::make_unique<CDeleteKey>(m_root, keyPath, ProblemComAppIdMissing, value.GetValueName(), data),
                     DisplayPath(m_root, keyPath));
    }
    else if (EqualsIgnoringCase(name, L"ProgID"))
    {
        if (!KeyExists(m_root, data) && (!m_wowView || !KeyExists(m_root, L"Wow6432Node\\" + data)))
            AddError(std::make_unique<CDeleteKey>(m_root, keyPath, ProblemComClassMissing, value.GetValueName(), data),
                     DisplayPath(m_root, keyPath));
    }
}

bool CComScan::ServerExists(const std::wstring& commandLine) const
{
    std::wstring text = commandLine;
    std::wstring arguments;
    if (FindFile(text, arguments, false))
        return true;
    if (!m_wowView)
        return false;
    text = ReplaceAll(ToLower(commandLine), L"\\system32\\", L"\\sysWOW64\\");
    return FindFile(text, arguments, false);
}

void CComScan::CheckServer(const CRegValue& value, const std::wstring& data)
{
    if (ServerExists(data))
        return;

    // The class goes, and with it the program identifier it names.
    const std::wstring classKey = ParentPath(value.GetKeyPath());
    auto fixes = std::make_unique<CFixContainer>();
    fixes->Add(std::make_unique<CDeleteKey>(m_root, classKey, ProblemComServerMissing, value.GetValueName(), data));
    CRegistryKey progIdKey;
    std::wstring progId;
    if (progIdKey.Open(m_root, classKey + L"\\ProgID", KEY_READ) == ERROR_SUCCESS &&
        ReadStringValue(progIdKey.Get(), std::wstring(), MAX_PATH, progId) && !progId.empty() &&
        KeyExists(m_root, progId))
        fixes->Add(std::make_unique<CDeleteKey>(m_root, progId, ProblemComClassMissing));
    AddError(std::move(fixes), DisplayPath(m_root, classKey));
}

void CComScan::CheckAppIdValue(const CRegValue& value, const std::wstring& data)
{
    const std::wstring& keyPath = value.GetKeyPath();
    std::wstring target = ParentPath(keyPath) + FormatText(L"\\%ls", data.c_str());
    if (KeyExists(m_root, target) || (m_wowView && KeyExists(m_root, FormatText(L"AppID\\%ls", data.c_str()))))
        return;
    AddError(std::make_unique<CDeleteKey>(m_root, keyPath, ProblemComAppIdMissing, value.GetValueName(), data),
             DisplayPath(m_root, keyPath));
}

void CComScan::CheckProgIdValue(const CRegValue& value, const std::wstring& data)
{
    if (KeyExists(m_root, FormatText(L"CLSID\\%ls", data.c_str())) ||
        KeyExists(m_root, FormatText(L"Wow6432Node\\CLSID\\%ls", data.c_str())))
        return;
    std::wstring progIdKey = ParentPath(value.GetKeyPath());
    AddError(std::make_unique<CDeleteKey>(m_root, progIdKey, ProblemComClassMissing, value.GetValueName(), data),
             progIdKey);
}
}
