// Runs the benchmark suite without the main window: a message-only window
// takes the progress and completion messages and the runner prints them.
#include <windows.h>
#include <cstdio>

#include "engine/Messages.h"
#include "engine/Tester.h"
#include "shell/Module.h"
#include "testbed/MessageWindow.h"

int wmain()
{
    CTester& tester = g_module.GetTester();
    UINT endMessage = 0;
    CMessageWindow window([&endMessage](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_TEST_PROGRESS)
            std::printf("progress: group %d, %d%%\n", HIWORD(lParam), static_cast<int>(wParam));
        else if (message == WM_TESTS_FINISHED || message == WM_TESTS_CANCELLED)
            endMessage = message;
        return 0;
    });
    if (!window.Handle())
    {
        std::fprintf(stderr, "cannot create the message window (error %lu)\n", GetLastError());
        return 1;
    }

    tester.CreateTests();
    tester.SetNotify(window.Handle(), WM_TEST_PROGRESS);
    g_module.SetMainWindow(window.Handle());
    tester.StartTests();
    CMessageWindow::PumpUntil([&endMessage] { return endMessage != 0; }, INFINITE);
    std::printf(endMessage == WM_TESTS_FINISHED ? "Tests finished\n" : "Tests stopped\n");

    window.Destroy();
    g_module.SetMainWindow(nullptr);
    tester.Shutdown();
    return 0;
}
