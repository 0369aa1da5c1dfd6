#pragma once

namespace RegistryKelvadorLib
{
// The type number of every scan: the key its errors are grouped under and
// the argument of CRegistryScaner::AddScan.
enum ScanType
{
    ScanTypeCom = 0,
    ScanTypeUninstall = 1,
    ScanTypeFonts = 2,
    ScanTypeSharedDll = 3,
    ScanTypeAppPath = 4,
    ScanTypeHelpFiles = 5,
    ScanTypeWinStartup = 6,
    ScanTypeFileRefs = 7,
    ScanTypeShortcuts = 8,
    ScanTypeEmptyKeys = 9,
    ScanTypeFileAssoc = 10,

    ScanTypeFirst = ScanTypeCom,
    ScanTypeLast = ScanTypeFileAssoc,
};
}
