#pragma once
#include <string>

// What the installer (or the logon task) asks of the program through its
// command line. The whole command line is the keyword, compared without
// regard to case; any other text, extra spaces included, is a normal start.
enum class StartupCommand
{
    Normal,
    Autorun,          // "autorun": the first start after an installation's restart
    Install,          // "install": install page, then the install actions
    Uninstall,        // "uninstall": uninstall page, then the uninstall actions
    SilentInstall,    // "s_install": the install actions only
    SilentUninstall   // "s_uninstall": the uninstall actions only
};

// A null command line is a normal start.
StartupCommand ParseStartupCommand(const wchar_t* commandLine);

// The steps of the entry function around the command line, in the order the
// entry function calls them.

// Before COM: an "autorun" start resets the logon task; then the program's
// key is checked for administrator rights. False when the program must end
// (exit code 0); the user is told why, except on an "autorun" start.
bool PrepareStart(StartupCommand command);

// After the module is initialised: performs the one-shot commands (install
// and uninstall, with or without their web page). True when the command was
// one of them and the program must end, with the exit code: for an
// install, what became of the driver (InstallResult); for an uninstall, 0
// when the driver service and file are gone, else 1.
bool RunOneShotCommand(StartupCommand command, int& exitCode);

// "http://<company site>/zentrix/<page>?UID=..&lang=..&os=.." with the
// machine identifier, the current language code and the Windows family code.
std::wstring CompanyPageUrl(const std::wstring& page);
