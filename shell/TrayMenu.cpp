#include "shell/TrayMenu.h"

#include "shell/Module.h"
#include "base/UiTextIds.h"

HMENU BuildTrayMenu(const TrayMenuState& state)
{
    HMENU menu = CreatePopupMenu();
    if (!state.stopping && !state.updating)
    {
        if (!state.running)
            AppendMenuW(menu, MF_STRING, kTrayStartTest, g_module.GetString(kTextStartTest));
        else
        {
            AppendMenuW(menu, MF_STRING, kTrayStopTest, g_module.GetString(kTextStopTest));
            if (state.paused)
                AppendMenuW(menu, MF_STRING, kTrayResumeTest, g_module.GetString(kTextResumeTest));
            else
                AppendMenuW(menu, MF_STRING, kTrayPauseTest, g_module.GetString(kTextPauseTest));
        }
    }
    if (state.languages.size() > 1)
    {
        HMENU languages = CreatePopupMenu();
        for (size_t i = 0; i < state.languages.size(); ++i)
            AppendMenuW(languages, MF_STRING, kTrayFirstLanguage + i, state.languages[i].c_str());
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(languages), g_module.GetString(kTextLanguage));
    }
    // No second check during one, and no Exit, which would destroy the
    // owner of the update's dialogs.
    if (state.updating)
        return menu;
    // Not during a run: an accepted update ends the program.
    if (!state.running && !state.stopping)
        AppendMenuW(menu, MF_STRING, kTrayCheckForUpdates, g_module.GetString(kTextCheckForUpdates));
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kTrayExit, g_module.GetString(kTextExit));
    return menu;
}
