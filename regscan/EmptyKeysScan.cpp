#include "regscan/EmptyKeysScan.h"

#include <vector>

#include "regscan/RegKey.h"
#include "regscan/ScanTypes.h"
#include "regscan/ScannerLog.h"
#include "shell/StringFormat.h"

namespace RegistryKelvadorLib
{
namespace
{
const REGSAM kReadAccess = 0x20019;
}

CEmptyKeysScan::CEmptyKeysScan(std::wstring userSid) : CRegScan(ScanTypeEmptyKeys), m_userSid(std::move(userSid))
{
    for (const wchar_t* excluded : {L"Microsoft", L"Classes", L"\\Printers", L".DEFAULT", L"SYSTEM", L"wow6432node"})
        ExcludeKey(excluded);
}

void CEmptyKeysScan::Scan(CRegErrorContainer* container, ScanCallback callback)
{
    WriteScannerLog(L"Start scan Empty keys");
    BeginScan(container, callback);
    ReportProgress(0, std::wstring());
    try
    {
        WalkRoot(m_userSid.empty() ? HKEY_CURRENT_USER : HKEY_USERS, m_userSid, L"HKCU", 0, 12);
        WalkRoot(HKEY_LOCAL_MACHINE, std::wstring(), L"HKLM", 25, 37);
        WalkRoot(HKEY_CURRENT_CONFIG, std::wstring(), L"HKCC", 75, 99);
        ReportProgress(100, std::wstring());
    }
    catch (...)
    {
        WriteScannerLog(L"Unknown exception scan Empty keys");
    }
    WriteScannerLog(FormatText(L"End scan Empty keys. Total errors = %i", ErrorsFound()));
}

void CEmptyKeysScan::WalkRoot(HKEY root, const std::wstring& path, const wchar_t* shortName, unsigned first,
                              unsigned last)
{
    WriteScannerLog(FormatText(L"Start scan %ls", shortName));
    int errorsBefore = ErrorsFound();
    EmptyKeyWalk(root, path, first, last, 0);
    WriteScannerLog(FormatText(L"End scan %ls, %i errors found", shortName, ErrorsFound() - errorsBefore));
}

void CEmptyKeysScan::EmptyKeyWalk(HKEY root, const std::wstring& path, unsigned first, unsigned last,
                                  REGSAM extraAccess)
{
    m_root = root;
    m_currentKey = path;
    CScopedKey key;
    if (key.Open(root, path, kReadAccess | extraAccess) != ERROR_SUCCESS)
        return;
    KeyCounts counts;
    if (QueryCounts(key.Get(), counts) != ERROR_SUCCESS)
        return;

    unsigned share = last - first;
    if (counts.subkeys)
    {
        share /= counts.subkeys;
    }
    else
    {
        ReportProgress(static_cast<int>(last), path);
        if (counts.values == 0)
            AddError(std::make_unique<CDeleteKey>(root, path, ProblemEmptyKey), DisplayPath(root, path));
    }

    CSubkeyNames names(key.Get(), counts.subkeys, counts.longestSubkey);
    std::wstring childName;
    while (WaitUntilRunning() && names.Next(childName))
    {
        if (childName.empty())
            continue;
        const unsigned position = first + names.Index() * share;
        ReportProgress(static_cast<int>(position), DisplayPath(root, path));
        // The bare name, in the case the registry gives it.
        if (!IsExcluded(childName))
            EmptyKeyWalk(root, path.empty() ? childName : path + L"\\" + childName, position, position + share,
                         extraAccess);
    }
}
}
