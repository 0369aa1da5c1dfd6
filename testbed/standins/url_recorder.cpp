// Stands in for the web browser in the test prefix: CUrlRecorder registers it
// as the open command of the http protocol, so a ShellExecuteW "open" of a
// web address runs
//   url_recorder.exe <record file> <address>
// which appends the address and CR LF (UTF-16LE) to the record file. No
// browser ever starts and no page is fetched.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "base/ScopedHandle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 3)
        return 2;
    const std::wstring line = std::wstring(argv[2]) + L"\r\n";
    // Two recorders may run at once; each line is one append.
    CScopedHandle file;
    for (int attempt = 0; attempt < 100 && !file; ++attempt)
    {
        file = AdoptFileHandle(CreateFileW(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            Sleep(20);
    }
    LocalFree(argv);
    DWORD written = 0;
    const DWORD bytes = static_cast<DWORD>(line.size() * sizeof(wchar_t));
    return file && WriteFile(file.Get(), line.data(), bytes, &written, nullptr) && written == bytes ? 0 : 1;
}
