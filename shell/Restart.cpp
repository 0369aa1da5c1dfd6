#include "shell/Restart.h"

#include <reason.h>

#include "base/Folders.h"
#include "base/ScopedHandle.h"
#include "shell/Module.h"
#include "shell/ProgramKey.h"
#include "base/UiTextIds.h"

namespace
{
// Volatile: "RegCreateKeyEx" (REG_OPTION_VOLATILE) keeps such a key in
// memory only, so it is gone once Windows has started again.
const wchar_t kRestartAskedKey[] = L"RestartAsked";

bool StartProgram(const std::wstring& path, const std::wstring& commandLine)
{
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool IsRestartAsked(const CRegistryKey& programKey)
{
    HKEY asked = nullptr;
    if (RegOpenKeyExW(programKey.Get(), kRestartAskedKey, 0, KEY_READ, &asked) != ERROR_SUCCESS)
        return false;
    RegCloseKey(asked);
    return true;
}

bool EnableShutdownPrivilege()
{
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw))
        return false;
    CScopedHandle token(raw);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
        return false;
    // AdjustTokenPrivileges succeeds even when it could not enable the
    // privilege; only ERROR_SUCCESS afterwards means it is enabled.
    return AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr)
        && GetLastError() == ERROR_SUCCESS;
}
}

const RestartCalls kSystemRestartCalls = {ExitWindowsEx, StartProgram};

void RestartComputer(const RestartCalls& calls)
{
    // "ExitWindowsEx": EWX_FORCEIFHUNG ends only applications that do not
    // answer; EWX_FORCE would end every one without letting it save. The
    // reason is a planned installation (0 would be logged as unplanned).
    const DWORD reason = SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_MINOR_INSTALLATION | SHTDN_REASON_FLAG_PLANNED;
    if (EnableShutdownPrivilege() && calls.exitWindows(EWX_REBOOT | EWX_FORCEIFHUNG, reason))
        return;
    // By its full path: a bare "shutdown" would be looked for in the
    // current folder first.
    const std::wstring shutdown = GetSystemFolder() + L"\\shutdown.exe";
    calls.startProgram(shutdown, L"\"" + shutdown + L"\" -r");
}

bool MarkRestartAsked()
{
    CRegistryKey programKey;
    if (!OpenProgramKey(programKey))
        return false;
    HKEY asked = nullptr;
    if (RegCreateKeyExW(programKey.Get(), kRestartAskedKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                        &asked, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(asked);
    return true;
}

bool CheckPendingRestart(const RestartCalls& calls)
{
    CRegistryKey key;
    DWORD pending = 0;
    if (!OpenProgramKey(key) || !key.ReadDword(kRunAtStartUpValue, pending) || pending == 0)
        return false;
    if (!IsRestartAsked(key))
    {
        // Windows has started since: the start with "autorun" that should
        // have cleared the flag never came.
        key.WriteDword(kRunAtStartUpValue, 0);
        return false;
    }
    if (MessageBoxW(nullptr, g_module.GetString(kTextRestartQuestion), L"Zentrix", MB_OKCANCEL) == IDOK)
        RestartComputer(calls);
    return true;
}
