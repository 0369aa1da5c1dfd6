#pragma once
#include <windows.h>

// The window of the baseline programs that the benchmark driver compares
// the main program with: a captionless dialog titled "Zentrix" of the main
// window's size, which the driver finds the way it finds the main window.
// Shows it and runs its message loop until any command (the driver's
// close click) arrives; returns the exit code.
int RunBaselineWindow(HINSTANCE instance);
