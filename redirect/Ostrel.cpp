// Ostrel: runs the command line it was given on a console screen buffer of
// its own and forwards what that program draws there to its standard output
// as UTF-16LE text. The exit code is the program's own, -2 when it cannot be
// run and -3 when its exit code cannot be read.
#include <windows.h>
#include <string>

#include "redirect/ConsoleForwarder.h"
#include "redirect/SuspendedProcess.h"

namespace
{
constexpr int kCannotStart = -2;
constexpr int kNoExitCode = -3;
// How long the child may stay quiet before the buffer is looked at again:
// short, so that a burst after a pause never outgrows the buffer's free half.
constexpr DWORD kIdlePauseMs = 100;

class CHandleCloser
{
public:
    explicit CHandleCloser(HANDLE handle) : m_handle(handle) {}
    ~CHandleCloser() { CloseHandle(m_handle); }
    CHandleCloser(const CHandleCloser&) = delete;
    CHandleCloser& operator=(const CHandleCloser&) = delete;

private:
    HANDLE m_handle;
};

// Empties the buffer once it is half full. The child is held suspended
// meanwhile, with everything up to the cursor read first; a child that
// cannot be held is rotated only after a quiet pause.
void RotateIfFull(DWORD childId, CConsoleForwarder& forwarder, bool quiet)
{
    if (!forwarder.IsPastHalf())
        return;
    CSuspendedProcess held(childId);
    if (held.IsHeld())
        forwarder.Poll();
    if (held.IsHeld() || quiet)
        forwarder.RotateIfFull();
}

// Forwards until the child has ended; the last look comes after the child
// was seen ended, so nothing it wrote before exiting is missed.
void ForwardUntilExit(const PROCESS_INFORMATION& child, CConsoleForwarder& forwarder)
{
    bool quiet = false;
    for (;;)
    {
        bool finished = WaitForSingleObject(child.hProcess, 0) != WAIT_TIMEOUT;
        bool changed = forwarder.Poll();
        if (finished)
            return;
        RotateIfFull(child.dwProcessId, forwarder, quiet && !changed);
        if (changed)
        {
            quiet = false;
            continue;
        }
        quiet = true;
        WaitForSingleObject(child.hProcess, kIdlePauseMs);
    }
}
}

int wmain()
{
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    HANDLE screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              &inheritable, CONSOLE_TEXTMODE_BUFFER, nullptr);
    // Without a console nothing the child draws could be captured.
    if (screen == INVALID_HANDLE_VALUE)
        return kCannotStart;
    CHandleCloser screenCloser(screen);

    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    CConsoleForwarder forwarder(screen, output);
    if (!forwarder.Prepare())
        return kCannotStart;

    // The child inherits its standard handles from these. Error output goes
    // to the screen too: inherited as it is, it would be the caller's pipe
    // and mix the child's raw bytes into the UTF-16 stream.
    SetStdHandle(STD_OUTPUT_HANDLE, screen);
    SetStdHandle(STD_ERROR_HANDLE, screen);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_FORCEOFFFEEDBACK;
    PROCESS_INFORMATION process = {};
    // The whole command line is the child's: the caller names Ostrel as the
    // application and passes the child's own command line.
    std::wstring commandLine = GetCommandLineW();
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return kCannotStart;
    CloseHandle(process.hThread);
    CHandleCloser childCloser(process.hProcess);

    ForwardUntilExit(process, forwarder);

    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.hProcess, &exitCode))
        return kNoExitCode;
    return static_cast<int>(exitCode);
}
