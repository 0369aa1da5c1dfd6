// Writes what the program computes about the Windows it runs on to the file
// named on its command line (UTF-16LE, no line end): the Windows description,
// or with the second argument "os-code" the one-letter Windows family code.
// Tests run copies of it under names that Wine reports other Windows
// versions to.
#include <windows.h>

#include "base/ScopedHandle.h"
#include "hardware/HardwareInfo.h"
#include "base/OSInfo.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || argc > 3 || (argc == 3 && std::wstring(argv[2]) != L"os-code"))
        return 2;

    HANDLE raw = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE)
        return 1;
    CScopedHandle file(raw);

    const std::wstring text = argc == 3 ? CHardwareInfo().GetOsCode() : Utils::Info::COSInfo().GetText();
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    return WriteFile(file.Get(), text.data(), bytes, &written, nullptr) && written == bytes ? 0 : 1;
}
