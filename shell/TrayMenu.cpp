#include "shell/TrayMenu.h"

#include "shell/Module.h"

HMENU BuildTrayMenu(const TrayMenuState& state)
{
    HMENU menu = CreatePopupMenu();
    if (!state.stopping && !state.updating)
    {
        if (!state.running)
            AppendMenuW(menu, MF_STRING, kTrayStartTest, g_module.GetString(11));
        else
        {
            AppendMenuW(menu, MF_STRING, kTrayStopTest, g_module.GetString(14));
            if (state.paused)
                AppendMenuW(menu, MF_STRING, kTrayResumeTest, g_module.GetString(13));
            else
                AppendMenuW(menu, MF_STRING, kTrayPauseTest, g_module.GetString(12));
        }
    }
    if (state.languages.size() > 1)
    {
        HMENU languages = CreatePopupMenu();
        for (size_t i = 0; i < state.languages.size(); ++i)
            AppendMenuW(languages, MF_STRING, kTrayFirstLanguage + i, state.languages[i].c_str());
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(languages), g_module.GetString(48));
    }
    // No second check during one, and no Exit, which would destroy the
    // owner of the update's dialogs.
    if (state.updating)
        return menu;
    // Not during a run: an accepted update ends the program.
    if (!state.running && !state.stopping)
        AppendMenuW(menu, MF_STRING, kTrayCheckForUpdates, g_module.GetString(15));
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kTrayExit, g_module.GetString(16));
    return menu;
}
