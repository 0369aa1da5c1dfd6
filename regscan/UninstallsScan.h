#pragma once
#include "regscan/RegScan.h"

namespace RegistryKelvadorLib
{
// Checks the entries of the list of installed programs: an empty display
// name (problem code 7), an uninstall program that is gone (8), an installer
// package or product registration that is gone (9). Each entry key is judged
// once, as a whole.
class CUninstallsScan : public CRegScan
{
public:
    CUninstallsScan();

    void ScanValues(HKEY key, const std::wstring& keyPath, DWORD valueCount, DWORD longestName, DWORD longestData,
                    REGSAM accessFlags) override;
    void Scan(CRegErrorContainer* container, ScanCallback callback) override;
    void CheckValue(CRegValue* /*value*/) override {}
    ~CUninstallsScan() override = default;

private:
    // True when the installer entry is sound.
    bool CheckMsiUninstall(std::wstring arguments);
    bool CheckInstallerProduct(const std::wstring& arguments);
    bool ProductInstalled(const std::wstring& packedCode, const std::wstring& userDataKey);
    // Adds a product key that would go to the fixes of the entry under test.
    void AddPendingFix(const std::wstring& keyPath);

    const std::wstring m_uninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    const REGSAM m_extraAccess = 0;
    std::unique_ptr<CFixContainer> m_pendingFixes;
};

// The packed form of a product code under which the installer registers
// it: the first three groups reversed, the other two with neighbouring
// characters swapped. Empty when the text holds no code.
std::wstring PackedProductCode(const std::wstring& text);
}
