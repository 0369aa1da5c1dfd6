#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Folders.h"
#include "base/StringFormat.h"
#include "testbed/support/MessageBoxAnswerer.h"
#include "testbed/support/OsProbeRun.h"
#include "tests/installer/InstallerSupport.h"
#include "tests/net/NetTestSupport.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/shell/LanguageTestSupport.h"

namespace
{
const wchar_t kVersion[] = TESSARIN_VERSION;
const wchar_t kNextVersion[] = TESSARIN_NEXT_VERSION;
const wchar_t kInstanceMutex[] = L"{BE83ABEC-4E9E-4FEF-8852-67416F53E737}";
const DWORD kExitNotAdmin = 3;
const DWORD kExitProgramRuns = 4;

std::wstring InstalledFile(const std::wstring& name)
{
    return InstallFolder() + L"\\" + name;
}

std::wstring Quoted(const std::wstring& path)
{
    return L"\"" + path + L"\"";
}

std::wstring SystemDriver()
{
    return GetSystemFolder() + L"\\drivers\\zxq.sys";
}

std::wstring Shortcut()
{
    return ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\Zentrix\\Zentrix.lnk";
}

// Every installation a test makes is undone again, and the program's
// registry values are put back as they were, so the prefix is left as found.
class InstallerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        // A failed earlier run may have left an installation behind.
        Uninstall();
        ASSERT_FALSE(KeyExists(kEntryKey));
        ASSERT_FALSE(FileExists(InstallFolder()));
        m_programKeyExisted = KeyExists(kProgramKey);
        m_language->Remove();
        m_runAtStartUp->Remove();
    }

    void TearDown() override
    {
        Uninstall();
        m_language.reset();
        m_runAtStartUp.reset();
        if (!m_programKeyExisted)
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProgramKey);
    }

    static DWORD InstallSilently(const std::wstring& installer)
    {
        return RunAndWait(Quoted(installer) + L" /S");
    }

    // Runs the entry's quiet uninstall command. The uninstaller goes on
    // from a copy of itself once the command has ended, so this waits
    // until it has taken the entry and its own file away.
    static void Uninstall()
    {
        const std::wstring command = ReadString(kEntryKey, L"QuietUninstallString");
        if (command.empty())
            return;
        EXPECT_EQ(0u, RunAndWait(command));
        EXPECT_TRUE(WaitUntil([] { return !KeyExists(kEntryKey) && !FileExists(InstalledFile(L"uninstall.exe")); },
                              60000));
        // The copy may still be removing its own folder.
        WaitUntil([] { return !FileExists(InstallFolder()); }, 10000);
    }

    bool m_programKeyExisted = false;
    std::unique_ptr<CSavedRegistryValue> m_language =
        std::make_unique<CSavedRegistryValue>(HKEY_LOCAL_MACHINE, kProgramKey, L"Language");
    std::unique_ptr<CSavedRegistryValue> m_runAtStartUp =
        std::make_unique<CSavedRegistryValue>(HKEY_LOCAL_MACHINE, kProgramKey, L"RunAtStartUp");
};

TEST_F(InstallerTest, SilentInstallPutsEverythingInPlaceAndUninstallTakesItAway)
{
    ASSERT_EQ(0u, InstallSilently(CurrentInstaller()));

    for (const wchar_t* name : {L"Tessarin.exe", L"updater.exe", L"zxq.sys", L"uninstall.exe",
                                L"Languages\\English.xml", L"Languages\\German.xml", L"Languages\\French.xml"})
        EXPECT_TRUE(FileExists(InstalledFile(name))) << name;
    EXPECT_EQ(std::wstring(kVersion) + L".0", GetFileVersionText(InstalledFile(L"Tessarin.exe")));
    EXPECT_TRUE(FileExists(Shortcut()));
    // The program's install actions ran from the installed folder.
    EXPECT_TRUE(FileExists(SystemDriver()));
    EXPECT_TRUE(ServiceExists(L"zxq"));
    // The first start after the restart is arranged; a silent run takes the
    // system's language (English here).
    EXPECT_EQ(1u, ReadDword(kProgramKey, L"RunAtStartUp", 0));
    EXPECT_EQ(L"English", ReadString(kProgramKey, L"Language"));
    EXPECT_TRUE(LogonTaskExists());
    EXPECT_FALSE(ValueExists(kRunOnceKey, L"Start Zentrix"));

    const struct
    {
        const wchar_t* name;
        std::wstring value;
    } entry[] = {
        {L"DisplayName", L"Zentrix"},
        {L"DisplayVersion", kVersion},
        {L"Publisher", L"Quorvane"},
        {L"DisplayIcon", InstalledFile(L"Tessarin.exe") + L",0"},
        {L"UninstallString", Quoted(InstalledFile(L"uninstall.exe"))},
        {L"QuietUninstallString", Quoted(InstalledFile(L"uninstall.exe")) + L" /S"},
    };
    for (const auto& value : entry)
        EXPECT_EQ(value.value, ReadString(kEntryKey, value.name)) << value.name;

    // The product's own uninstall scan finds the entry sound, and would
    // name it once its uninstaller were gone.
    const std::wstring entryFinding = L"uninstall\\zentrix\t";
    EXPECT_EQ(std::wstring::npos, UninstallScanFindings().find(entryFinding));
    const std::wstring moved = InstallFolder() + L"\\moved.exe";
    ASSERT_TRUE(MoveFileW(InstalledFile(L"uninstall.exe").c_str(), moved.c_str()));
    const std::wstring findings = UninstallScanFindings();
    EXPECT_NE(std::wstring::npos, findings.find(entryFinding + L"8")) << Narrow(findings);
    ASSERT_TRUE(MoveFileW(moved.c_str(), InstalledFile(L"uninstall.exe").c_str()));

    Uninstall();
    EXPECT_FALSE(FileExists(InstallFolder()));
    EXPECT_FALSE(FileExists(Shortcut()));
    EXPECT_FALSE(FileExists(SystemDriver()));
    EXPECT_FALSE(ServiceExists(L"zxq"));
    EXPECT_FALSE(KeyExists(kEntryKey));
    EXPECT_FALSE(LogonTaskExists());
    EXPECT_FALSE(ValueExists(kProgramKey, L"RunAtStartUp"));
    // The user's choice and data stay.
    EXPECT_EQ(L"English", ReadString(kProgramKey, L"Language"));
    EXPECT_TRUE(FileExists(GetAppDataFolder() + L"\\tessarin.log"));
}

// The uninstaller removes the driver's service and file itself when the
// program that would do it is gone.
TEST_F(InstallerTest, UninstallWithoutTheProgramStillRemovesTheDriver)
{
    ASSERT_EQ(0u, InstallSilently(CurrentInstaller()));
    ASSERT_TRUE(ServiceExists(L"zxq"));
    ASSERT_TRUE(FileExists(SystemDriver()));
    ASSERT_TRUE(DeleteFileW(InstalledFile(L"Tessarin.exe").c_str()));
    Uninstall();
    EXPECT_FALSE(ServiceExists(L"zxq"));
    EXPECT_FALSE(FileExists(SystemDriver()));
    EXPECT_FALSE(FileExists(InstallFolder()));
}

// Windows XP has no Task Scheduler 2.0: the start after the restart is a
// RunOnce entry there (a copy of the installer that Wine tells it runs on
// Windows XP).
TEST_F(InstallerTest, OnWindowsXpTheStartAfterTheRestartIsARunOnceEntry)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder(temp, wcslen(temp) - 1);
    const int code = RunCopyUnder(L"zxq_install_testbed", L"winxp", folder, L"/S");
    DeleteFileW((folder + L"\\zxq_install_testbed_winxp.exe").c_str());
    ASSERT_EQ(0, code);

    EXPECT_EQ(Quoted(InstalledFile(L"Tessarin.exe")) + L" autorun", ReadString(kRunOnceKey, L"Start Zentrix"));
    EXPECT_FALSE(LogonTaskExists());
    Uninstall();
    EXPECT_FALSE(ValueExists(kRunOnceKey, L"Start Zentrix"));
}

// What the installer arranged plays out: a start before the restart offers
// the restart and ends; the start after it ("autorun") clears the flag,
// removes the task and shows the main window.
TEST_F(InstallerTest, TheInstalledProgramOffersTheRestartUntilItsAutorunStart)
{
    CStandInServer& server = StandIn();
    ASSERT_TRUE(server.IsRunning());
    ASSERT_TRUE(server.Reset());
    ASSERT_EQ(0u, InstallSilently(CurrentInstaller()));
    {
        CMessageBoxAnswerer answerer(L"Zentrix", IDCANCEL);
        EXPECT_EQ(0u, RunAndWait(Quoted(InstalledFile(L"Tessarin.exe")), 60000));
        ASSERT_EQ(1u, answerer.Texts().size());
        EXPECT_EQ(L"In order to complete this installation you must restart your computer. "
                  L"Would you like to do this now?",
                  answerer.Texts()[0]);
    }
    EXPECT_EQ(1u, ReadDword(kProgramKey, L"RunAtStartUp", 0));

    CScopedHandle program = StartProcess(Quoted(InstalledFile(L"Tessarin.exe")) + L" autorun");
    ASSERT_TRUE(program);
    HWND window = nullptr;
    WaitUntil(
        [&] {
            window = FindWindowW(nullptr, L"Zentrix");
            return window && IsWindowVisible(window);
        },
        60000);
    EXPECT_TRUE(window);
    EXPECT_EQ(0u, ReadDword(kProgramKey, L"RunAtStartUp", 1));
    EXPECT_FALSE(LogonTaskExists());
    if (window)
        PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(program.Get(), 60000) != WAIT_OBJECT_0)
        TerminateProcess(program.Get(), 1);
}

// Counts the entries of the list of installed programs named "Zentrix".
int ZentrixEntries()
{
    HKEY uninstall = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &uninstall) != ERROR_SUCCESS)
        return -1;
    int count = 0;
    wchar_t name[256];
    for (DWORD index = 0;; ++index)
    {
        DWORD length = 256;
        if (RegEnumKeyExW(uninstall, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (ReadString(std::wstring(kUninstallKey) + L"\\" + name, L"DisplayName") == L"Zentrix")
            ++count;
    }
    RegCloseKey(uninstall);
    return count;
}

TEST_F(InstallerTest, SilentUpgradeReplacesTheProgramsAndKeepsOneEntryAndTheUsersChoices)
{
    ASSERT_EQ(0u, InstallSilently(CurrentInstaller()));
    m_language->Set(L"German");
    const std::wstring userData = GetAppDataFolder() + L"\\user_url";
    const bool hadUserData = FileExists(userData);
    if (!hadUserData)
        CloseHandle(CreateFileW(userData.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));

    EXPECT_EQ(0u, InstallSilently(NextInstaller()));
    EXPECT_EQ(1, ZentrixEntries());
    EXPECT_EQ(kNextVersion, ReadString(kEntryKey, L"DisplayVersion"));
    EXPECT_EQ(std::wstring(kNextVersion) + L".0", GetFileVersionText(InstalledFile(L"Tessarin.exe")));
    EXPECT_EQ(L"German", ReadString(kProgramKey, L"Language"));
    EXPECT_TRUE(FileExists(userData));
    if (!hadUserData)
        DeleteFileW(userData.c_str());
}

// The installed program finds the newer installer on the stand-in update
// server at its start, downloads and checks it, and the updater runs it.
TEST_F(InstallerTest, UpdateRoundTripInstallsTheOfferedVersion)
{
    CStandInServer& server = StandIn();
    ASSERT_TRUE(server.IsRunning());
    ASSERT_TRUE(server.Reset());
    const std::string installer = ReadFileBytes(NextInstaller());
    ASSERT_FALSE(installer.empty());
    const std::wstring md5 = Md5Text(installer);
    ASSERT_TRUE(server.SetRoute(L"/files/zxq_install.exe", {{L"body_base64", Base64Text(installer)}}));
    ASSERT_TRUE(server.SetRoute(
        L"/update", {{L"body", FormatText(L"<update><product><code>ZX</code><version>%ls.0</version>"
                                          L"<autoload>y</autoload>"
                                          L"<url>http://update.tessarin.test/files/zxq_install.exe</url>"
                                          L"<filesize>%u</filesize><filemd5>%ls</filemd5></product></update>",
                                          kNextVersion, static_cast<unsigned>(installer.size()), md5.c_str())}}));
    ASSERT_EQ(0u, InstallSilently(CurrentInstaller()));

    // The start after the restart is the first to check for updates.
    RunAndWait(Quoted(InstalledFile(L"Tessarin.exe")) + L" autorun", 120000);
    EXPECT_NE(std::wstring::npos, server.LastField(L"xml").find(std::wstring(L"<version>") + kVersion + L".0<"));
    ASSERT_TRUE(WaitUntil([] { return ReadString(kEntryKey, L"DisplayVersion") == kNextVersion; }, 120000));
    EXPECT_EQ(std::wstring(kNextVersion) + L".0", GetFileVersionText(InstalledFile(L"Tessarin.exe")));
    EXPECT_EQ(1, ZentrixEntries());
    // The downloaded installer stays beside the program once it has ended...
    const std::wstring downloaded = InstalledFile(L"zxq_install.exe");
    ASSERT_TRUE(WaitUntil(
        [&downloaded] {
            HANDLE file = CreateFileW(downloaded.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE)
                return false;
            CloseHandle(file);
            return true;
        },
        60000));
    // ...and the uninstaller removes it with the rest.
    RunAndWait(ReadString(kEntryKey, L"QuietUninstallString"));
    EXPECT_TRUE(WaitUntil([&downloaded] { return !KeyExists(kEntryKey) && !FileExists(downloaded); }, 60000));
}

// Without administrator rights the installer says so and changes nothing;
// a silent run only ends with the exit code.
TEST_F(InstallerTest, InstallWithoutAdministratorRightsIsRefusedWithAClearMessage)
{
    const struct
    {
        const wchar_t* arguments;
        size_t boxes;
    } runs[] = {{L" /S", 0}, {L"", 1}};
    for (const auto& run : runs)
    {
        CMessageBoxAnswerer answerer(L"Zentrix Setup", IDOK);
        EXPECT_EQ(kExitNotAdmin, RunWithoutAdminRights(Quoted(CurrentInstaller()) + run.arguments)) << run.arguments;
        ASSERT_EQ(run.boxes, answerer.Texts().size()) << run.arguments;
        if (run.boxes)
        {
            EXPECT_EQ(L"Installing Zentrix needs administrator rights. Please log in as an administrator and run "
                      L"the setup again.",
                      answerer.Texts()[0]);
        }
        EXPECT_FALSE(FileExists(InstallFolder()));
        EXPECT_FALSE(KeyExists(kEntryKey));
        EXPECT_FALSE(ValueExists(kProgramKey, L"Language"));
    }
}

TEST_F(InstallerTest, InstallIsRefusedWhileTheProgramRuns)
{
    HANDLE running = CreateMutexW(nullptr, FALSE, kInstanceMutex);
    const DWORD code = InstallSilently(CurrentInstaller());
    CloseHandle(running);
    EXPECT_EQ(kExitProgramRuns, code);
    EXPECT_FALSE(FileExists(InstallFolder()));
    EXPECT_FALSE(KeyExists(kEntryKey));
    EXPECT_FALSE(ValueExists(kProgramKey, L"Language"));
}

// "_?=" runs the uninstaller in place, so its own exit code comes back.
TEST_F(InstallerTest, UninstallIsRefusedWhileTheProgramRuns)
{
    ASSERT_EQ(0u, InstallSilently(CurrentInstaller()));
    HANDLE running = CreateMutexW(nullptr, FALSE, kInstanceMutex);
    const DWORD code = RunAndWait(Quoted(InstalledFile(L"uninstall.exe")) + L" /S _?=" + InstallFolder());
    CloseHandle(running);
    EXPECT_EQ(kExitProgramRuns, code);
    EXPECT_TRUE(FileExists(InstalledFile(L"Tessarin.exe")));
    EXPECT_TRUE(ServiceExists(L"zxq"));
    EXPECT_TRUE(KeyExists(kEntryKey));
}

TEST_F(InstallerTest, DamagedInstallerIsRefusedByItsIntegrityCheck)
{
    std::string bytes = ReadFileBytes(CurrentInstaller());
    ASSERT_GT(bytes.size(), 100000u);
    bytes[bytes.size() * 2 / 3] ^= 0x55;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring damaged = FormatText(L"%lszxq_install_damaged%lu.exe", temp, GetCurrentProcessId());
    HANDLE file = CreateFileW(damaged.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);

    const DWORD code = InstallSilently(damaged);
    DeleteFileW(damaged.c_str());
    EXPECT_NE(0u, code);
    EXPECT_FALSE(FileExists(InstallFolder()));
    EXPECT_FALSE(KeyExists(kEntryKey));
}

// A second uninstallation (a kept copy of the uninstaller run again over
// the removed folder) changes nothing and leaves nothing behind.
TEST_F(InstallerTest, UninstallingTwiceLeavesNothingBehind)
{
    ASSERT_EQ(0u, InstallSilently(CurrentInstaller()));
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring kept = FormatText(L"%lszxq_uninstall%lu.exe", temp, GetCurrentProcessId());
    ASSERT_TRUE(CopyFileW(InstalledFile(L"uninstall.exe").c_str(), kept.c_str(), FALSE));
    Uninstall();

    // "_?=" runs the uninstaller in place for the folder given.
    EXPECT_EQ(0u, RunAndWait(Quoted(kept) + L" /S _?=" + InstallFolder()));
    DeleteFileW(kept.c_str());
    EXPECT_FALSE(FileExists(InstallFolder()));
    EXPECT_FALSE(KeyExists(kEntryKey));
    EXPECT_FALSE(ServiceExists(L"zxq"));
    EXPECT_EQ(L"English", ReadString(kProgramKey, L"Language"));
}
}
