#pragma once
#include "regscan/RegScan.h"

namespace RegistryKelvadorLib
{
// Walks the user's hive, HKEY_LOCAL_MACHINE and HKEY_CURRENT_CONFIG for
// values holding absolute paths that lead nowhere (problem code 14). The
// classes, Microsoft's own keys and the control sets are left out.
class CFileRefsScan : public CRegScan
{
public:
    // With an empty SID the current user's hive is walked instead.
    explicit CFileRefsScan(std::wstring userSid);

    void Scan(CRegErrorContainer* container, ScanCallback callback) override;
    void CheckValue(CRegValue* value) override;
    ~CFileRefsScan() override = default;

private:
    // Walks one root; the log lines name it by its short name.
    void ScanRoot(HKEY root, const std::wstring& startKey, const wchar_t* shortName, int percentsStart);

    std::wstring m_userSid;
};
}
