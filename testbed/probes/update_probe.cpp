// Runs the update check as the main program does at start-up: the module
// initialised, then CheckForUpdates. Exits with 3 when the check returns;
// a hand-over to the updater ends the process with 0 instead.
#include <windows.h>

#include "base/ComSupport.h"
#include "net/Update.h"
#include "shell/Module.h"

int wmain()
{
    CComApartment com;
    g_module.Init(GetModuleHandleW(nullptr));
    CheckForUpdates(g_module.GetUID());
    return 3;
}
