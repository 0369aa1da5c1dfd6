#pragma once
#include "regscan/RegScan.h"

namespace RegistryKelvadorLib
{
// Checks the installed fonts: a font value with no file name (problem code
// 5), and one whose file is not there (6). A bare file name lives in the
// Windows Fonts folder.
class CFontsScan : public CRegScan
{
public:
    CFontsScan();

    void Scan(CRegErrorContainer* container, ScanCallback callback) override;
    // A failure inside the check is written to the scanner log and the scan
    // goes on with the next value.
    void CheckValue(CRegValue* value) override;
    ~CFontsScan() override = default;

private:
    void CheckFont(const CRegValue& value);

    const std::wstring m_fontsKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
};
}
