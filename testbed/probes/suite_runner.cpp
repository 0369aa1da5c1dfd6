// Runs the benchmark suite without the main window: a message-only window
// takes the progress and completion messages and the runner prints them.
#include <windows.h>
#include <objbase.h>
#include <cstdio>

#include "engine/Messages.h"
#include "engine/suite/ResultDocument.h"
#include "engine/suite/Tester.h"
#include "shell/Module.h"
#include "testbed/support/MessageBoxAnswerer.h"
#include "testbed/support/MessageWindow.h"

int wmain()
{
    // Start-up as in the main program: COM on this thread, then the
    // singleton loads the languages and computes the machine identifier.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
    {
        std::fprintf(stderr, "cannot initialise COM\n");
        return 1;
    }
    {
        // Nobody sits at the runner: a warning the start-up shows (no
        // language chosen yet, on a fresh prefix) is answered and printed.
        CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
        g_module.Init(GetModuleHandleW(nullptr));
        for (const std::wstring& text : answerer.Texts())
            std::printf("message box: %ls\n", text.c_str());
    }
    std::printf("language: %ls, machine id: %ls\n", g_module.GetLanguageManager().GetLanguageCode().c_str(),
                g_module.GetUID().c_str());

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
    tester.SetCompletionWindow(window.Handle());
    tester.StartTests();
    CMessageWindow::PumpUntil([&endMessage] { return endMessage != 0; }, INFINITE);
    std::printf(endMessage == WM_TESTS_FINISHED ? "Tests finished\n" : "Tests stopped\n");
    if (endMessage == WM_TESTS_FINISHED)
    {
        // What the main window does with a finished run: show the totals,
        // keep the percentage, and on request write the result document.
        int total = tester.CalcTotalScore();
        std::printf("total score: %d, maximum: %d, percentage: %f\n", total, tester.GetTotalMaxScore(),
                    tester.GetPercentage());
        tester.SaveLastPercentage();
        if (BuildAndSendResult(tester, {g_module.GetUID(), g_module.GetSettings(), g_module.GetMainWindow()}))
            std::printf("result: %ls\n", GetResultFilePath().c_str());
        else
            std::printf("result: cannot write %ls\n", GetResultFilePath().c_str());
    }

    window.Destroy();
    g_module.SetMainWindow(nullptr);
    tester.SetCompletionWindow(nullptr);
    tester.Shutdown();
    g_module.Term();
    CoUninitialize();
    return 0;
}
