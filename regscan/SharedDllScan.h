#pragma once
#include "regscan/RegScan.h"

namespace RegistryKelvadorLib
{
// The shared-DLL counts are not checked: the scan only reports that it is
// done, and never finds an error.
class CSharedDllScan : public CRegScan
{
public:
    CSharedDllScan();

    void Scan(CRegErrorContainer* container, ScanCallback callback) override;
    void CheckValue(CRegValue* /*value*/) override {}
    ~CSharedDllScan() override = default;

private:
    const std::wstring m_sharedDllsKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
};
}
