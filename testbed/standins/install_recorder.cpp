// Stands in for the downloaded installer "zxq_install.exe": it installs
// nothing and appends its command line, one line each run, to
// "zxq_install.log" beside itself (UTF-16LE), so tests can see whether, when
// and how it was started.
#include <windows.h>

#include <string>

#include "base/Folders.h"

int wmain()
{
    const std::wstring line = std::wstring(GetCommandLineW()) + L"\n";
    HANDLE file = CreateFileW((GetProgramFolder() + L"\\zxq_install.log").c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return 0;
}
