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
    // An update check or download is under way (its dialogs run their own
    // message loops, so the tray still answers).
    bool updating;
    // Display names of the installed languages.
    std::vector<std::wstring> languages;
};

// The popup menu for the state, with texts of the current language. The
// caller destroys it. During an update it offers nothing that starts,
// checks or exits, and may then be empty.
HMENU BuildTrayMenu(const TrayMenuState& state);
