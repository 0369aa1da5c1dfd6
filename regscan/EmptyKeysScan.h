#pragma once
#include "regscan/RegScan.h"

namespace RegistryKelvadorLib
{
// Reports keys of the user's hive, HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_CONFIG that hold neither values nor subkeys (problem code
// 10). Microsoft's own keys, the classes, the system and the 32-bit view
// are not entered. Looks at every key's counts, not at values.
class CEmptyKeysScan : public CRegScan
{
public:
    // With an empty SID the current user's hive is walked instead.
    explicit CEmptyKeysScan(std::wstring userSid);

    void Scan(CRegErrorContainer* container, ScanCallback callback) override;
    void CheckValue(CRegValue* /*value*/) override {}
    ~CEmptyKeysScan() override = default;

private:
    // Walks one root between two log lines.
    void WalkRoot(HKEY root, const std::wstring& path, const wchar_t* shortName, unsigned first, unsigned last);
    void EmptyKeyWalk(HKEY root, const std::wstring& path, unsigned first, unsigned last, REGSAM extraAccess);

    std::wstring m_userSid;
};
}
