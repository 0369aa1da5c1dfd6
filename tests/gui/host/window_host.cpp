// The main program with probe tests in place of the scored ones, for the
// window tests:
//   window_host [steps [unit milliseconds]]
// Five probes (groups 1 to 5) each run the given number of units; each
// scores 17.5 of 25, so a finished run is at 70.4% of its potential.
#include <windows.h>

#include <cwchar>
#include <memory>

#include "engine/Messages.h"
#include "engine/suite/Tester.h"
#include "shell/Module.h"
#include "shell/StartUp.h"
#include "tests/engine/Probes.h"

namespace
{
class CScoredProbe : public CProbeTest
{
public:
    using CProbeTest::CProbeTest;
    double GetScore() override { return 17.5; }
    double GetMaxScore() override { return 25.0; }
};

// Set when the window has handled a run's completion message while that
// run was still going: its idle or finished look then showed a run that a
// close still counted as running.
CTester* g_tester = nullptr;
bool g_endShownEarly = false;

LRESULT CALLBACK AfterWindowMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT* handled = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && (handled->message == WM_TESTS_FINISHED || handled->message == WM_TESTS_CANCELLED)
        && g_tester->IsRunning())
        g_endShownEarly = true;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand)
{
    if (!StartCom())
        return 0;
    StartCommonControls();
    g_module.Init(instance);
    int exitCode = 0;
    if (IsAnotherInstanceRunning(exitCode))
        return exitCode;

    int steps = 4;
    int unitMs = 100;
    swscanf(commandLine, L"%d %d", &steps, &unitMs);
    CRunJournal journal;
    CTester tester(2);
    tester.SetHardwareInfo(std::make_unique<CProbeTest>(ProbeSettings("inventory"), journal));
    for (WORD group = 1; group <= 5; ++group)
        tester.RegisterTest(std::make_unique<CScoredProbe>(
            ProbeSettings("probe" + std::to_string(group), steps, group, false, static_cast<DWORD>(unitMs)),
            journal));
    g_tester = &tester;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, &AfterWindowMessage, nullptr, GetCurrentThreadId());
    const int result = RunNormalStart(instance, commandLine, showCommand, tester);
    UnhookWindowsHookEx(hook);
    // Exit code 97 tells the window tests that the end showed too early.
    return g_endShownEarly ? 97 : result;
}
