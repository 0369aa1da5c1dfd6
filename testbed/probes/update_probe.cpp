// Runs the update check as the main program does at start-up: the module
// initialised, then CheckForUpdates. Exits with 3 when the check returns;
// a hand-over to the updater ends the process with 0 instead.
//   update_probe [during-run]
// With "during-run" the check runs while a run of the program's tester is
// under way (its inventory stands in and lasts until the run is stopped).
#include <windows.h>

#include <memory>

#include "base/ComSupport.h"
#include "engine/TesterImpl.h"
#include "net/Update.h"
#include "shell/Module.h"

namespace
{
class CEndlessInventory : public CTesterImpl<CEndlessInventory>
{
public:
    void Run() override
    {
        while (!CheckCancel())
            Sleep(20);
    }
    double GetScore() override { return 0; }
    double GetMaxScore() override { return 0; }
    bool Serialize(CXmlNode&, CXmlDocument&) override { return false; }
};
}

int wmain(int argc, wchar_t** argv)
{
    CComApartment com;
    g_module.Init(GetModuleHandleW(nullptr));
    // The tester stops a run still under way when the program ends.
    CTester& tester = g_module.GetTester();
    if (argc > 1 && lstrcmpW(argv[1], L"during-run") == 0)
    {
        tester.SetHardwareInfo(std::make_unique<CEndlessInventory>());
        if (!tester.StartTests())
            return 1;
    }
    CheckForProgramUpdates();
    return 3;
}
