#pragma once
#include "regscan/RegScan.h"

namespace RegistryKelvadorLib
{
// Checks the programs the user's and the machine's Run keys start at logon
// (and the values of their direct subkeys): a program that is not found is
// problem code 11.
class CWinStartupScan : public CRegScan
{
public:
    // With an empty SID the current user's hive is walked instead.
    explicit CWinStartupScan(std::wstring userSid);

    void Scan(CRegErrorContainer* container, ScanCallback callback) override;
    void CheckValue(CRegValue* value) override;
    ~CWinStartupScan() override = default;

private:
    std::wstring m_userSid;
};
}
