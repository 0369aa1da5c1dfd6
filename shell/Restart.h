#pragma once
#include <windows.h>

// The two system calls a restart makes. The program passes the real ones;
// tests pass recorders, so that nothing is ever restarted from a test.
struct RestartCalls
{
    BOOL(WINAPI* exitWindows)(UINT flags, DWORD reason);
    // The C library's system(): the fallback "shutdown -r".
    int (*runCommand)(const char* command);
};

extern const RestartCalls kSystemRestartCalls;

// Enables the shutdown privilege and restarts Windows (forced); when any
// step fails, runs "shutdown -r" instead.
void RestartComputer(const RestartCalls& calls = kSystemRestartCalls);

// True when an installation waits for a restart ("RunAtStartUp" non-zero):
// the user is then offered the restart (UI string 50, OK restarts) and the
// program must end without its window either way. A missing key or value,
// 0 or a value of another type means no restart is pending.
bool CheckPendingRestart(const RestartCalls& calls = kSystemRestartCalls);
