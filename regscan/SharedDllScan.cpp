#include "regscan/SharedDllScan.h"

#include "regscan/ScanTypes.h"

namespace RegistryKelvadorLib
{
CSharedDllScan::CSharedDllScan() : CRegScan(ScanTypeSharedDll)
{
}

void CSharedDllScan::Scan(CRegErrorContainer* container, ScanCallback callback)
{
    BeginScan(container, callback);
    ReportProgress(100, std::wstring());
}
}
