#include "testbed/ProgramLog.h"

#include <windows.h>

#include "engine/ScopedHandle.h"
#include "shell/Folders.h"

// Kept apart from the log tail, which writes through the program's
// singleton: a driver that only reads the log must not create one (its
// single-instance lock would refuse the program it drives).
std::wstring ReadProgramLog()
{
    std::wstring path = GetAppDataFolder() + L"\\tessarin.log";
    CScopedHandle file = AdoptFileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                     nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return std::wstring();
    std::wstring text(GetFileSize(file.Get(), nullptr) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ReadFile(file.Get(), &text[0], static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    text.resize(read / sizeof(wchar_t));
    return text;
}
