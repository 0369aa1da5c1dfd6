#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Items of the tray icon's menu. The tracking call returns them, so they
// never reach WM_COMMAND and may share numbers with control ids.
enum TrayMenuId : UINT
{
    kTrayStartTest = 1000,
    kTrayExit = 1010,
    kTrayPauseTest = 1020,
    kTrayStopTest = 1030,
    kTrayCheckForUpdates = 1040,
    kTrayResumeTest = 1050,
    // The language submenu: kTrayFirstLanguage + the language's index.
    kTrayFirstLanguage = 2000
};

// What the menu depends on.
struct TrayMenuState
{
    bool stopping;
    bool running;
    bool paused;
    // Display names of the installed languages.
    std::vector<std::wstring> languages;
};

// The popup menu for the state, with texts of the current language. The
// caller destroys it.
HMENU BuildTrayMenu(const TrayMenuState& state);
