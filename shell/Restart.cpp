#include "shell/Restart.h"

#include <stdlib.h>

#include "base/ScopedHandle.h"
#include "shell/Module.h"
#include "shell/ProgramKey.h"
#include "base/UiTextIds.h"

namespace
{
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

const RestartCalls kSystemRestartCalls = {ExitWindowsEx, system};

void RestartComputer(const RestartCalls& calls)
{
    if (EnableShutdownPrivilege() && calls.exitWindows(EWX_REBOOT | EWX_FORCE, 0))
        return;
    calls.runCommand("shutdown -r");
}

bool CheckPendingRestart(const RestartCalls& calls)
{
    CRegistryKey key;
    DWORD pending = 0;
    if (!OpenProgramKey(key) || !key.ReadDword(kRunAtStartUpValue, pending) || pending == 0)
        return false;
    if (MessageBoxW(nullptr, g_module.GetString(kTextRestartQuestion), L"Zentrix", MB_OKCANCEL) == IDOK)
        RestartComputer(calls);
    return true;
}
