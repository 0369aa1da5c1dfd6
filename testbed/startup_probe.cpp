// Runs the main program's start-up steps for the keyword on its command
// line, up to the point where the main program would check for a pending
// restart and open its window:
//   startup_probe autorun | install | uninstall | s_install | s_uninstall
// Exit code 0 where the main program ends after these steps (a one-shot
// command, or no permission), 3 where it would go on to a normal start.
#include <windows.h>

#include "engine/ComSupport.h"
#include "shell/Module.h"
#include "shell/CommandLine.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    const StartupCommand command = ParseStartupCommand(commandLine);
    if (!PrepareStart(command))
        return 0;
    CComApartment com;
    if (g_module.Init(instance) != S_OK)
        return 1;
    return RunOneShotCommand(command) ? 0 : 3;
}
