// The start-up baseline of the benchmark driver: a program that shows a
// window and does nothing else, started the way the main program is.
#include <windows.h>

#include "testbed/BaselineWindow.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    return RunBaselineWindow(instance);
}
