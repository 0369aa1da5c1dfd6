#pragma once
#include <windows.h>

class CTester;

// The steps of the main program's entry function, in the order it takes
// them.

// COM for the UI thread (single-threaded apartment) and the process's COM
// security. False when COM cannot be initialised.
bool StartCom();
// The common controls the window uses (bar and rebar classes).
void StartCommonControls();
// When another instance runs: tells the user (UI 29) and returns true with
// the message box's result as the exit code.
bool IsAnotherInstanceRunning(int& exitCode);
// Creates the tests, runs the main window until it closes, and tears down
// in order: GDI+, the run thread, the module, COM. Returns the loop's exit
// code.
int RunNormalStart(HINSTANCE instance, LPCWSTR commandLine, int showCommand, CTester& tester);

// Creates the message loop and the main window (a modeless dialog without
// parent), shows it, and runs the loop until WM_QUIT. Returns the loop's
// exit code, or 0 when the window cannot be created.
int RunMainWindow(LPCWSTR commandLine, int showCommand, CTester& tester);
