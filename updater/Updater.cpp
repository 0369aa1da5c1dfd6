// updater: finishes an update. The main program starts it with its own
// process id and the verified installer, which it holds open so that no
// other process can write, delete or rename it, and ends; this program
// keeps that hold, waits for the process to go (the installer cannot
// replace the files of a running program), then starts the installer beside
// it silently. It has no window and no log: every failure shows the same
// message box.
#include <windows.h>
#include <objbase.h>

#include <cwchar>
#include <cstdlib>
#include <string>

namespace
{
const wchar_t kErrorText[] = L"An error occured while updates installing. Updates wasn't installed!";
const wchar_t kCaption[] = L"Zentrix";
const wchar_t kInstallerName[] = L"zxq_install.exe";
const DWORD kWaitLimitMs = 30000;

int ShowError()
{
    return MessageBoxW(nullptr, kErrorText, kCaption, MB_OK | MB_SETFOREGROUND);
}

// The folder of this program, without trailing backslash; empty when the
// path cannot be read whole.
std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    std::wstring folder(path, length);
    const size_t slash = folder.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

ULONGLONG CreationTime(HANDLE process)
{
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Process ids are reused: a process created after this program cannot be
// the one that started it, so that one has ended already. False when the
// times cannot be read.
bool IsYoungerThanThisProgram(HANDLE process)
{
    const ULONGLONG created = CreationTime(process);
    const ULONGLONG own = CreationTime(GetCurrentProcess());
    return created != 0 && own != 0 && created > own;
}

// Waits for the process to end. True when it has ended or is gone already.
bool WaitForProcess(DWORD processId)
{
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process)
        process = OpenProcess(SYNCHRONIZE, FALSE, processId); // its times stay unknown
    if (!process)
        return true;
    const bool ended =
        IsYoungerThanThisProgram(process) || WaitForSingleObject(process, kWaitLimitMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

std::wstring InstallerPath()
{
    return OwnFolder() + L"\\" + kInstallerName;
}

bool SameFile(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION first = {}, second = {};
    return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

// True when the handle inherited from the main program is the installer
// beside this program: only then is the file started the one that was
// checked. Opened here without any access right, which no sharing mode
// forbids.
bool HoldsInstaller(HANDLE held)
{
    HANDLE installer = CreateFileW(InstallerPath().c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    if (installer == INVALID_HANDLE_VALUE)
        return false;
    const bool same = held && SameFile(held, installer);
    CloseHandle(installer);
    return same;
}

bool StartInstaller()
{
    // Quoted: the program folder usually has blanks in its name.
    std::wstring commandLine = L"\"" + InstallerPath() + L"\" /S";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

int Run(const wchar_t* commandLine)
{
    // The id of the process to wait for, then the value of the inherited
    // handle of the installer; the rest of the line is ignored.
    wchar_t* rest = nullptr;
    const DWORD processId = static_cast<DWORD>(wcstol(commandLine, &rest, 10));
    if (processId == 0)
        return ShowError();
    const HANDLE held = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(wcstoull(rest, nullptr, 10)));
    if (!HoldsInstaller(held))
    {
        ShowError();
        return 0;
    }
    if (!WaitForProcess(processId))
        ShowError(); // installs anyway: the installer may still manage
    // Released once the installer runs: its image is mapped then, which
    // Windows keeps from being written or deleted.
    if (!StartInstaller())
        ShowError();
    CloseHandle(held);
    return 0;
}
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const int exitCode = Run(commandLine ? commandLine : L"");
    if (SUCCEEDED(com))
        CoUninitialize();
    return exitCode;
}
