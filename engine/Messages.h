#pragma once
#include <windows.h>

// Messages from the run to the main window.
//
// Progress: wParam is the percent done within one test (0 to 100), the high
// word of lParam the test's group number.
constexpr UINT WM_TEST_PROGRESS = WM_USER + 1;
// Completion, wParam and lParam 0: the run ended without or after a stop.
constexpr UINT WM_TESTS_FINISHED = WM_USER + 2;
// The tray icon's callback, lParam the mouse message.
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 3;
constexpr UINT WM_TESTS_CANCELLED = WM_USER + 4;
