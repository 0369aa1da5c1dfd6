#include "shell/CommandLine.h"

#include <windows.h>
#include <shellapi.h>
#include <wchar.h>

#include "net/Deployment.h"
#include "shell/InstallActions.h"
#include "shell/LogonTask.h"
#include "shell/Module.h"
#include "shell/ProgramKey.h"
#include "base/StringFormat.h"

namespace
{
struct Keyword
{
    const wchar_t* text;
    StartupCommand command;
};

const Keyword kKeywords[] = {
    {L"autorun", StartupCommand::Autorun},
    {L"install", StartupCommand::Install},
    {L"uninstall", StartupCommand::Uninstall},
    {L"s_install", StartupCommand::SilentInstall},
    {L"s_uninstall", StartupCommand::SilentUninstall},
};

const wchar_t kNoAdminRightsMessage[] =
    L"Application requires administrator permissions. Please log in as an administrator.";

void OpenCompanyPage(const std::wstring& page)
{
    ShellExecuteW(nullptr, L"open", CompanyPageUrl(page).c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
}
}

StartupCommand ParseStartupCommand(const wchar_t* commandLine)
{
    if (!commandLine)
        return StartupCommand::Normal;
    for (const Keyword& keyword : kKeywords)
    {
        if (_wcsicmp(commandLine, keyword.text) == 0)
            return keyword.command;
    }
    return StartupCommand::Normal;
}

bool PrepareStart(StartupCommand command)
{
    if (command == StartupCommand::Autorun)
        ResetLogonTask();
    if (HasAdminRights())
        return true;
    if (command != StartupCommand::Autorun)
        MessageBoxW(nullptr, kNoAdminRightsMessage, L"Zentrix", MB_OK);
    return false;
}

bool RunOneShotCommand(StartupCommand command, int& exitCode)
{
    switch (command)
    {
    case StartupCommand::Install:
        OpenCompanyPage(L"install");
        exitCode = InstallActions();
        return true;
    case StartupCommand::Uninstall:
        OpenCompanyPage(L"uninstall");
        exitCode = UninstallActions() ? 0 : 1;
        return true;
    case StartupCommand::SilentInstall:
        exitCode = InstallActions();
        return true;
    case StartupCommand::SilentUninstall:
        exitCode = UninstallActions() ? 0 : 1;
        return true;
    default:
        return false;
    }
}

std::wstring CompanyPageUrl(const std::wstring& page)
{
    return FormatText(L"http://%ls/zentrix/%ls?UID=%ls&lang=%ls&os=%ls", kCompanySiteHost, page.c_str(),
                      g_module.GetUID().c_str(), g_module.GetLanguageManager().GetLanguageCode().c_str(),
                      g_module.GetTester().GetHardwareInfo().GetOsCode().c_str());
}
