#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shell/CommandLine.h"
#include "shell/LogonTask.h"
#include "shell/ProgramKey.h"
#include "shell/Restart.h"
#include "base/Folders.h"
#include "testbed/support/MessageBoxAnswerer.h"
#include "testbed/support/OsProbeRun.h"
#include "testbed/support/LogRecorder.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/shell/StartupTestSupport.h"

namespace
{
// What the restart seam was asked to do.
struct RestartRecord
{
    BOOL exitWindowsResult = TRUE;
    std::vector<UINT> exitWindowsFlags;
    std::vector<std::wstring> commands;  // program path, a tab, command line
};
RestartRecord g_restarts;

BOOL WINAPI RecordExitWindows(UINT flags, DWORD)
{
    g_restarts.exitWindowsFlags.push_back(flags);
    return g_restarts.exitWindowsResult;
}

bool RecordCommand(const std::wstring& path, const std::wstring& commandLine)
{
    g_restarts.commands.push_back(path + L"\t" + commandLine);
    return true;
}

const RestartCalls kRecordingRestartCalls = {RecordExitWindows, RecordCommand};
}

TEST(StartupCommand, OnlyTheWholeKeywordCountsInAnyCase)
{
    const struct
    {
        const wchar_t* commandLine;
        StartupCommand expected;
    } cases[] = {
        {L"autorun", StartupCommand::Autorun},        {L"AUTORUN", StartupCommand::Autorun},
        {L" autorun", StartupCommand::Normal},        {L"autorun ", StartupCommand::Normal},
        {L"Install", StartupCommand::Install},        {L"uninstall", StartupCommand::Uninstall},
        {L"s_install", StartupCommand::SilentInstall}, {L"S_UNINSTALL", StartupCommand::SilentUninstall},
        {L"s_install s_uninstall", StartupCommand::Normal}, {L"", StartupCommand::Normal},
        {nullptr, StartupCommand::Normal},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.commandLine ? Narrow(c.commandLine) : "null");
        EXPECT_EQ(ParseStartupCommand(c.commandLine), c.expected);
    }
}

TEST(RestartComputer, RebootLettingApplicationsSaveAndSystemShutdownOnlyWhenRefused)
{
    const std::wstring shutdown = GetSystemFolder() + L"\\shutdown.exe";
    for (BOOL accepted : {TRUE, FALSE})
    {
        SCOPED_TRACE(accepted ? "accepted" : "refused");
        g_restarts = RestartRecord();
        g_restarts.exitWindowsResult = accepted;
        RestartComputer(kRecordingRestartCalls);
        EXPECT_EQ(g_restarts.exitWindowsFlags, std::vector<UINT>{EWX_REBOOT | EWX_FORCEIFHUNG});
        EXPECT_EQ(g_restarts.commands, accepted ? std::vector<std::wstring>()
                                                : std::vector<std::wstring>{shutdown + L"\t\"" + shutdown + L"\" -r"});
    }
}

// The restart counts as asked for in this Windows session while its
// volatile mark is there; without it Windows has started since (the test
// across a new Wine session is in PendingRestartTests.cpp).
TEST(CheckPendingRestart, NonZeroDwordAsksInTheSessionOfTheRequestAndOnlyOkRestarts)
{
    const DWORD one = 1, seven = 7, zero = 0;
    const struct
    {
        const char* name;
        DWORD type;  // REG_NONE: no value
        const void* data;
        DWORD bytes;
        bool asked;
        int answer;
        bool pending;
        bool restarts;
    } cases[] = {
        {"no value", REG_NONE, nullptr, 0, true, IDOK, false, false},
        {"zero", REG_DWORD, &zero, 4, true, IDOK, false, false},
        {"one, OK", REG_DWORD, &one, 4, true, IDOK, true, true},
        {"seven, Cancel", REG_DWORD, &seven, 4, true, IDCANCEL, true, false},
        {"one, Windows restarted since", REG_DWORD, &one, 4, false, IDOK, false, false},
        {"text", REG_SZ, L"1", 4, true, IDOK, false, false},
        {"binary", REG_BINARY, &one, 4, true, IDOK, false, false},
    };
    CSavedRegistryValue flag(HKEY_LOCAL_MACHINE, kProgramKeyPath, kRunAtStartUpValue);
    // The program's key exists, as on any installed machine (the restart's
    // mark lives below it), also in a new prefix.
    flag.SetDword(0);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        if (c.type == REG_NONE)
            flag.Remove();
        else
            flag.SetRaw(c.type, c.data, c.bytes);
        ForgetRestartAsked();
        ASSERT_TRUE(!c.asked || MarkRestartAsked());
        g_restarts = RestartRecord();
        CMessageBoxAnswerer answerer(L"Zentrix", c.answer);
        EXPECT_EQ(CheckPendingRestart(kRecordingRestartCalls), c.pending);
        EXPECT_EQ(answerer.Texts().size(), c.pending ? 1u : 0u);
        EXPECT_EQ(g_restarts.exitWindowsFlags.size(), c.restarts ? 1u : 0u);
        EXPECT_TRUE(g_restarts.commands.empty());
        if (!c.asked)
        {
            EXPECT_EQ(RunAtStartUpText(), L"0");
        }
    }
    ForgetRestartAsked();
}

TEST(ResetLogonTask, AutorunDeletesTheTaskFromVistaOnAndAlwaysClearsTheFlag)
{
    const struct
    {
        const wchar_t* version;
        bool registerTask;
        bool taskStays;
    } cases[] = {{L"winxp", true, true}, {L"win7", true, false}, {L"win7", false, false}};
    CScratchFolder folder;
    CSavedRegistryValue flag(HKEY_LOCAL_MACHINE, kProgramKeyPath, kRunAtStartUpValue);
    CEnglishBeside english(folder.Path());
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Narrow(c.version) + (c.registerTask ? " with task" : " without task"));
        flag.SetDword(1);
        ASSERT_TRUE(!c.registerTask || RegisterRootTask(kLogonTaskName));
        const size_t logStart = ReadProgramLog().size();
        // After the reset the program starts normally and finds this test
        // program holding the single-instance lock: it says so and ends with
        // the answer (OK), before any window.
        CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
        EXPECT_EQ(RunCopyUnder(L"Tessarin", c.version, folder.Path(), L"AutoRun"), IDOK);
        EXPECT_EQ(answerer.Texts(), std::vector<std::wstring>{L"Another instance is running."});
        EXPECT_EQ(RootTaskExists(kLogonTaskName), c.taskStays);
        EXPECT_EQ(RunAtStartUpText(), L"0");
        EXPECT_NE(ReadProgramLog().substr(logStart).find(L" Reset Logon Task\r\n"), std::wstring::npos);
    }
    DeleteRootTask(kLogonTaskName);
}
