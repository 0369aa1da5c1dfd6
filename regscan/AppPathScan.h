#pragma once
#include "regscan/RegScan.h"

namespace RegistryKelvadorLib
{
// Checks the application paths: each application key's default value names
// the program, which must exist (problem code 6). Each key is judged by its
// default value alone.
class CAppPathScan : public CRegScan
{
public:
    CAppPathScan();

    void ScanValues(HKEY key, const std::wstring& keyPath, DWORD valueCount, DWORD longestName, DWORD longestData,
                    REGSAM accessFlags) override;
    void Scan(CRegErrorContainer* container, ScanCallback callback) override;
    void CheckValue(CRegValue* /*value*/) override {}
    ~CAppPathScan() override = default;

private:
    const std::wstring m_appPathsKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
};
}
