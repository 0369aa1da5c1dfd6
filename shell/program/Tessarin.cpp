// The main program's entry function.
#include <windows.h>

#include "net/Update.h"
#include "shell/CommandLine.h"
#include "shell/Module.h"
#include "shell/Restart.h"
#include "shell/StartUp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand)
{
    const StartupCommand command = ParseStartupCommand(commandLine);
    if (!PrepareStart(command))
        return 0;
    if (!StartCom())
        return 0;
    StartCommonControls();
    g_module.Init(instance);
    int exitCode = 0;
    if (RunOneShotCommand(command, exitCode))
        return exitCode;
    if (CheckPendingRestart())
        return 0;
    if (IsAnotherInstanceRunning(exitCode))
        return exitCode;
    // May end the program here to install a newer version.
    CheckForProgramUpdates();
    return RunNormalStart(instance, commandLine, showCommand, g_module.GetTester());
}
