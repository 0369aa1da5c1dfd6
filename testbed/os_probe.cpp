// Writes the Windows description the program computes to the file named on
// its command line (UTF-16LE, no line end). Tests run copies of it under
// names that Wine reports other Windows versions to.
#include <windows.h>

#include "engine/ScopedHandle.h"
#include "shell/OSInfo.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;

    HANDLE raw = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE)
        return 1;
    CScopedHandle file(raw);

    Utils::Info::COSInfo os;
    const std::wstring& text = os.GetText();
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    return WriteFile(file.Get(), text.data(), bytes, &written, nullptr) && written == bytes ? 0 : 1;
}
