// Runs the registry scanner's uninstall-entries scan as the system test does
// and writes one line per finding to the file named by its argument
// (UTF-16LE): the entry's key, a tab and the problem code. The installer
// tests run the 32-bit build, which sees the entries of the registry view a
// 32-bit installer writes.
#include <windows.h>

#include <string>
#include <vector>

#include "regscan/RegErrors.h"
#include "regscan/RegistryScaner.h"
#include "regscan/ScanTypes.h"

using namespace RegistryKelvadorLib;

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    CRegErrorContainer container;
    {
        CRegistryScaner scanner;
        scanner.AddScan(ScanTypeUninstall);
        scanner.Scan(&container, nullptr);
    }
    std::wstring text;
    for (const auto& error : container.GetErrors(ScanTypeUninstall))
    {
        std::vector<CRegErrorDescription> descriptions;
        if (const CFix* fix = error->GetFix())
            fix->CollectDescriptions(descriptions);
        for (const CRegErrorDescription& description : descriptions)
            text += description.location + L"\t" + std::to_wstring(description.problemCode) + L"\r\n";
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL wrote = WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return wrote ? 0 : 1;
}
