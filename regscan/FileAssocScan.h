#pragma once
#include "regscan/RegScan.h"

namespace RegistryKelvadorLib
{
// Checks the registrations at the top of HKEY_CLASSES_ROOT: an extension
// naming a class that does not exist, and a class whose edit, open or print
// command names a program that is gone (problem code 15, one error per
// broken verb); an extension's perceived type that has no registration
// (16).
class CFileAssocScan : public CRegScan
{
public:
    CFileAssocScan();

    void Scan(CRegErrorContainer* container, ScanCallback callback) override;
    void CheckValue(CRegValue* value) override;
    ~CFileAssocScan() override = default;

private:
    void CheckExtensionValue(const CRegValue& value);
    void CheckClass(const std::wstring& classKey);
    // False when the verb's command names an .exe or .dll that is not found.
    bool CheckShellVerb(const std::wstring& verbKey) const;

    const std::wstring m_classesKey;
};

// True when the platform knows nothing about the extension's perceived
// type. A platform that cannot tell (no AssocGetPerceivedType, or one that
// is not implemented) counts as knowing.
bool IsPerceivedTypeUndefined(const std::wstring& extension);
}
