#pragma once
#include "regscan/RegScan.h"

namespace RegistryKelvadorLib
{
// Checks the registered help files of both views: each value names a help
// file and holds the folder it is in; a file not found is problem code 13.
class CHelpFilesScan : public CRegScan
{
public:
    CHelpFilesScan();

    void Scan(CRegErrorContainer* container, ScanCallback callback) override;
    void CheckValue(CRegValue* value) override;
    ~CHelpFilesScan() override = default;
};
}
