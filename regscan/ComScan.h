#pragma once
#include "regscan/RegScan.h"

namespace RegistryKelvadorLib
{
// Checks the COM registration under HKEY_CLASSES_ROOT in both views: class
// servers whose file is gone (problem code 2), and class, application and
// program identifiers that point at keys that do not exist (codes 3, 4).
class CComScan : public CRegScan
{
public:
    CComScan();

    void Scan(CRegErrorContainer* container, ScanCallback callback) override;
    void CheckValue(CRegValue* value) override;
    ~CComScan() override = default;

private:
    enum Mode
    {
        ModeClsid = 0,
        ModeAppId = 1,
        ModeProgId = 2,
    };
    struct Walk;

    void RunWalk(const Walk& walk);
    void CheckClassValue(const CRegValue& value, const std::wstring& data);
    void CheckServer(const CRegValue& value, const std::wstring& data);
    void CheckAppIdValue(const CRegValue& value, const std::wstring& data);
    void CheckProgIdValue(const CRegValue& value, const std::wstring& data);
    // The server file is found in this view, or (in the other view) in the
    // 32-bit system folder.
    bool ServerExists(const std::wstring& commandLine) const;

    Mode m_mode = ModeClsid;
    bool m_wowView = false;
};

// The text after the last backslash; the whole path when it has none, or
// when its only one is its first character.
std::wstring LastComponent(const std::wstring& keyPath);
}
