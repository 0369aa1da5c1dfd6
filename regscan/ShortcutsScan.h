#pragma once
#include "regscan/RegScan.h"

namespace RegistryKelvadorLib
{
// Checks the shortcut files of six shell folders (desktop, Start menu
// programs, documents, favorites, startup, recent files) and their plain
// subfolders: a shortcut whose target is neither a file nor a folder is
// problem code 12. Uses COM on the scanning thread; walks no keys.
class CShortcutsScan : public CRegScan
{
public:
    CShortcutsScan();

    void Scan(CRegErrorContainer* container, ScanCallback callback) override;
    void CheckValue(CRegValue* /*value*/) override {}
    ~CShortcutsScan() override = default;

private:
    // Walks one folder over its share of the percent range.
    void ScanFolder(const std::wstring& path, int percentsStart, int percentsInterval);
    void CheckShortcut(const std::wstring& link);
};

// The path the shortcut file points to, as stored; false when the file
// cannot be loaded or resolved as a shortcut.
bool ReadShortcutTarget(const std::wstring& link, std::wstring& target);
}
