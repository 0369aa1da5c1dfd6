#pragma once
#include <windows.h>

#include <string>

// The two system calls a restart makes. The program passes the real ones;
// tests pass recorders, so that nothing is ever restarted from a test.
struct RestartCalls
{
    BOOL(WINAPI* exitWindows)(UINT flags, DWORD reason);
    // Starts a program (full path) with a command line; the fallback
    // "<system folder>\shutdown.exe" -r. True when it started.
    bool (*startProgram)(const std::wstring& path, const std::wstring& commandLine);
};

extern const RestartCalls kSystemRestartCalls;

// Enables the shutdown privilege and restarts Windows, letting applications
// save their work (only hung ones are ended); when any step fails, runs the
// system folder's shutdown.exe -r instead.
void RestartComputer(const RestartCalls& calls = kSystemRestartCalls);

// Notes in the program's key that Windows must restart before the
// installation is complete: a volatile subkey, which exists only until
// Windows next starts. False when the program's key is missing.
bool MarkRestartAsked();

// True when an installation waits for a restart ("RunAtStartUp" non-zero)
// and Windows has not started again since the restart was asked for: the
// user is then offered the restart (UI string 50, OK restarts) and the
// program must end without its window either way. Once Windows has started
// again the restart is done, even when the start with "autorun" never came:
// the flag is cleared and false returned. A missing key or value, 0 or a
// value of another type means no restart is pending.
bool CheckPendingRestart(const RestartCalls& calls = kSystemRestartCalls);
