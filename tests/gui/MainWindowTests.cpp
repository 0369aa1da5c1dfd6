#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/Messages.h"
#include <shlobj.h>
#include <setupapi.h>
#include "shell/MainDlg.h"
#include "testbed/support/FileBytes.h"
#include "testbed/support/MessageBoxAnswerer.h"
#include "testbed/support/UrlRecorder.h"
#include "testbed/support/StandInServer.h"
#include "testbed/support/WindowDriver.h"

namespace
{
// This program holds no application singleton (it would hold the
// single-instance lock the host takes): folders and settings are read here
// directly.
std::wstring GetProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\'));
}

std::wstring GetAppDataFolder()
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::wstring(path) + L"\\Quorvane\\Zentrix";
}

// A value of a registry key, put back as it was when the object goes.
class CSavedRegistryValue
{
public:
    CSavedRegistryValue(HKEY root, const wchar_t* subKey, const wchar_t* name) : m_name(name)
    {
        if (RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &m_key, nullptr)
            != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        if (RegQueryValueExW(m_key, name, nullptr, &m_type, nullptr, &size) != ERROR_SUCCESS)
            return;
        m_data.resize(size);
        m_had = RegQueryValueExW(m_key, name, nullptr, &m_type, m_data.data(), &size) == ERROR_SUCCESS;
    }
    ~CSavedRegistryValue()
    {
        if (!m_key)
            return;
        if (m_had)
            RegSetValueExW(m_key, m_name, 0, m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
        else
            RegDeleteValueW(m_key, m_name);
        RegCloseKey(m_key);
    }
    CSavedRegistryValue(const CSavedRegistryValue&) = delete;
    CSavedRegistryValue& operator=(const CSavedRegistryValue&) = delete;

    void SetDword(DWORD value)
    {
        RegSetValueExW(m_key, m_name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
    void SetText(const std::wstring& value)
    {
        RegSetValueExW(m_key, m_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }

private:
    const wchar_t* m_name;
    HKEY m_key = nullptr;
    bool m_had = false;
    DWORD m_type = 0;
    std::vector<BYTE> m_data;
};

// The test host: the main window with five probe tests ("steps unit-ms").
class CWindowHost : public CProgramWindow
{
public:
    explicit CWindowHost(const std::wstring& arguments = L"")
        : CProgramWindow(GetProgramFolder() + L"\\window_host.exe", arguments, GetProgramFolder())
    {
    }
};

// For a reviewer to look at: "<build folder>\screenshots\<name>.png".
void SaveTestScreenshot(HWND window, const std::wstring& name)
{
    const std::wstring folder = GetProgramFolder() + L"\\..\\screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    EXPECT_TRUE(SaveScreenshot(window, folder + L"\\" + name + L".png")) << "screenshot " << Narrow(name);
}

// The host's five probes each score 17.5 of 25: 88 of 125 in total.
const double kHostPercentage = 88.0 / 125.0 * 100.0;

int Width(const RECT& rect)
{
    return rect.right - rect.left;
}

double ReadLastPercentage()
{
    double value = -1;
    CScopedHandle file(CreateFileW((GetAppDataFolder() + L"\\zxq_lp").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    DWORD read = 0;
    if (file.Get() != INVALID_HANDLE_VALUE)
        ReadFile(file.Get(), &value, sizeof(value), &read, nullptr);
    else
        file.Reset();
    return value;
}

bool ShowsIdle(const CWindowHost& host)
{
    return host.Visible(IDC_BEGIN_TEST) && host.Visible(IDC_HEADER_LINE) && !host.Visible(IDC_PROGRESS)
           && !host.Visible(IDC_OPTIMIZE);
}

bool ShowsRunning(const CWindowHost& host)
{
    return !host.Visible(IDC_BEGIN_TEST) && host.Visible(IDC_PROGRESS) && host.Visible(IDC_SCANNING)
           && host.Visible(IDC_CANCEL_SCAN) && !host.Visible(IDC_OPTIMIZE);
}

bool ShowsFinished(const CWindowHost& host)
{
    return host.Visible(IDC_OPTIMIZE) && host.Visible(IDC_PERCENTAGE) && !host.Visible(IDC_PROGRESS)
           && !host.Visible(IDC_BEGIN_TEST);
}

class MainWindow : public ::testing::Test
{
protected:
    void Start(const std::wstring& arguments)
    {
        host.reset(new CWindowHost(arguments));
        ASSERT_TRUE(host->Started());
        ASSERT_NE(host->WaitForWindow(), nullptr);
    }

    std::unique_ptr<CWindowHost> host;
};

TEST_F(MainWindow, RunsFromBeginTestToTheResultAndBackToIdle)
{
    DeleteFileW((GetAppDataFolder() + L"\\zxq_lp").c_str());
    // Units of a second: a cancelled run then takes about a second to stop,
    // long enough to see the window keep its running look until it has.
    ASSERT_NO_FATAL_FAILURE(Start(L"3 1000"));
    ASSERT_TRUE(WaitUntil([&] { return ShowsIdle(*host); }));
    EXPECT_EQ(host->Text(IDC_HEADER_LINE), L"Your PC performance potential is unknown");
    EXPECT_EQ(host->Text(IDC_BEGIN_TEST), L"Begin Test");
    RECT client;
    GetClientRect(host->Window(), &client);
    EXPECT_EQ(client.right, 560); // the test prefix runs at 96 DPI
    EXPECT_EQ(client.bottom, 380);
    SaveTestScreenshot(host->Window(), L"idle");

    ASSERT_TRUE(host->Click(IDC_BEGIN_TEST));
    EXPECT_TRUE(ShowsRunning(*host));
    ASSERT_TRUE(WaitUntil([&] { return host->ProgressPosition() > 0; }));
    SaveTestScreenshot(host->Window(), L"running");

    // Enter during a run returns at once and leaves the run as it is.
    const int before = host->ProgressPosition();
    DWORD_PTR unused = 0;
    EXPECT_NE(SendMessageTimeoutW(host->Window(), WM_COMMAND, IDOK, 0, SMTO_NORMAL, 1000, &unused), 0);
    EXPECT_TRUE(ShowsRunning(*host));
    EXPECT_GE(host->ProgressPosition(), before);

    ASSERT_TRUE(WaitUntil([&] { return ShowsFinished(*host); }));
    const int percent = static_cast<int>(kHostPercentage);
    EXPECT_EQ(host->Text(IDC_PERCENTAGE), std::to_wstring(percent) + L"%");
    EXPECT_EQ(host->Text(IDC_VERDICT_FIRST + 2), L"at " + std::to_wstring(percent) + L"% of");
    EXPECT_DOUBLE_EQ(ReadLastPercentage(), kHostPercentage);
    const int fullBar = Width(host->ControlRect(IDC_BAR_POTENTIAL));
    EXPECT_GT(fullBar, 0);
    EXPECT_EQ(Width(host->ControlRect(IDC_BAR_CURRENT)), (fullBar * percent + 50) / 100);
    SaveTestScreenshot(host->Window(), L"finished");

    // Optimize writes the result document beside the host and returns to idle,
    // where the header now shows the saved percentage.
    const std::wstring resultFile = GetProgramFolder() + L"\\result.xml";
    DeleteFileW(resultFile.c_str());
    ASSERT_TRUE(host->Click(IDC_OPTIMIZE));
    EXPECT_TRUE(ShowsIdle(*host));
    EXPECT_NE(GetFileAttributesW(resultFile.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(host->Text(IDC_HEADER_LINE),
              L"Your PC is performing at " + std::to_wstring(percent) + L"% of its potential");

    // Enter when idle starts a run with the running look at once.
    host->Send(WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(ShowsRunning(*host));

    // Cancel Scan: the window keeps running, showing that it stops, until
    // the run reports that it has stopped. The stop comes once the tests
    // are inside a unit: one stopped before its first unit ends at once.
    ASSERT_TRUE(WaitUntil([&] { return host->ProgressPosition() > 0; }));
    ASSERT_TRUE(host->Click(IDC_CANCEL_SCAN));
    EXPECT_EQ(host->Text(IDC_STATUS), L"Please wait while test is stopped.");
    EXPECT_TRUE(ShowsRunning(*host));
    ASSERT_TRUE(WaitUntil([&] { return ShowsIdle(*host); }));
    EXPECT_EQ(host->Text(IDC_STATUS), L"Please wait while test is stopped.");

    // Escape; 97 if a run's end showed while the run was still going.
    host->PostClick(IDCANCEL);
    EXPECT_EQ(host->WaitForExit(), 2);
}

TEST_F(MainWindow, ProgressSumsTheLastValueOfEachGroupUpToTheRange)
{
    ASSERT_NO_FATAL_FAILURE(Start(L""));
    struct Step
    {
        WPARAM percent;
        WORD group;
        int expectedPosition;
    };
    const Step steps[] = {
        {40, 1, 40},    {70, 1, 70},     // a group replaces its own value
        {250, 2, 170},  {100, 3, 270},   // above 100 counts as 100
        {10, 4, 280},   {0, 1, 210},     // a group may go back
        {150, 1, 310},  {150, 5, 410},
        {150, 4, 500},                   // all five groups full: the range
    };
    for (const Step& step : steps)
    {
        host->Send(WM_TEST_PROGRESS, step.percent, MAKELPARAM(0, step.group));
        EXPECT_EQ(host->ProgressPosition(), step.expectedPosition) << step.percent << " for group " << step.group;
    }
}

TEST_F(MainWindow, ClosingDuringARunAsksAndNoKeepsTheRun)
{
    ASSERT_NO_FATAL_FAILURE(Start(L"40 250"));
    ASSERT_TRUE(host->Click(IDC_BEGIN_TEST));
    {
        CMessageBoxAnswerer answerer(L"Zentrix", IDNO);
        host->PostClick(IDC_CLOSE);
        ASSERT_TRUE(answerer.WaitForAnswers(1, kWindowWaitMs));
        EXPECT_EQ(answerer.Texts().at(0), L"Are you sure you want to cancel the test?");
    }
    ASSERT_TRUE(host->Click(IDC_BEGIN_TEST)); // round trip: the answer was handled
    EXPECT_TRUE(IsWindowVisible(host->Window()));
    EXPECT_TRUE(ShowsRunning(*host));
    const int position = host->ProgressPosition();
    EXPECT_TRUE(WaitUntil([&] { return host->ProgressPosition() > position; }));

    CMessageBoxAnswerer answerer(L"Zentrix", IDYES);
    host->PostClick(IDC_CLOSE);
    EXPECT_EQ(host->WaitForExit(), 1);
}

TEST_F(MainWindow, EscapeCommandEndsWithCodeTwo)
{
    ASSERT_NO_FATAL_FAILURE(Start(L""));
    PostMessageW(host->Window(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(host->WaitForExit(), 2);
}

TEST_F(MainWindow, SecondInstanceIsTurnedAwayAndTheFirstKeepsRunning)
{
    ASSERT_NO_FATAL_FAILURE(Start(L""));
    CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
    CWindowHost second;
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitForExit(), IDOK);
    ASSERT_EQ(answerer.Texts().size(), 1u);
    EXPECT_EQ(answerer.Texts()[0], L"Another instance is running.");
    EXPECT_TRUE(IsWindowVisible(host->Window()));
    EXPECT_TRUE(ShowsIdle(*host));
}
}

namespace
{

// Position of the language file in the order the program lists them.
int LanguageIndex(const std::wstring& fileName)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((GetProgramFolder() + L"\\Languages\\*.xml").c_str(), &found);
    int index = 0;
    int result = -1;
    if (search == INVALID_HANDLE_VALUE)
        return result;
    do
    {
        if (lstrcmpiW(found.cFileName, fileName.c_str()) == 0)
            result = index;
        ++index;
    } while (result < 0 && FindNextFileW(search, &found));
    FindClose(search);
    return result;
}

bool IsMenuOpenIn(DWORD processId)
{
    HWND menu = FindWindowW(L"#32768", nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(menu, &owner);
    return menu && owner == processId && IsWindowVisible(menu);
}

void PostKey(HWND window, UINT key)
{
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

TEST_F(MainWindow, LanguageChosenInTheTrayMenuRereadsEveryText)
{
    CSavedRegistryValue savedChoice(HKEY_LOCAL_MACHINE, L"Software\\Tessarin", L"Language");
    const int german = LanguageIndex(L"German.xml");
    ASSERT_GE(german, 0);
    ASSERT_NO_FATAL_FAILURE(Start(L""));
    DWORD processId = 0;
    GetWindowThreadProcessId(host->Window(), &processId);

    // The idle menu: Start test, Language, separator, Exit application.
    PostMessageW(host->Window(), WM_TRAY_NOTIFY, 0, WM_RBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return IsMenuOpenIn(processId); }));
    for (UINT key : {VK_DOWN, VK_DOWN, VK_RIGHT})
        PostKey(host->Window(), key);
    for (int i = 0; i < german; ++i)
        PostKey(host->Window(), VK_DOWN);
    PostKey(host->Window(), VK_RETURN);

    ASSERT_TRUE(WaitUntil([&] { return host->Text(IDC_BEGIN_TEST) == L"Test starten"; }));
    EXPECT_EQ(host->Text(IDC_OPTIMIZE), L"PC optimieren");
    EXPECT_EQ(host->Text(IDC_SCANNING), L"Bitte warten Sie, w\u00e4hrend Zentrix Ihr System untersucht");
    EXPECT_EQ(host->Text(IDC_CANCEL_SCAN), L"Pr\u00fcfung abbrechen");
    // The idle header: the percentage line of the new language.
    EXPECT_EQ(host->Text(IDC_HEADER_LINE).find(L"Your PC"), std::wstring::npos);
}
}

namespace
{
TEST_F(MainWindow, ScalesItsLayoutWithTheScreenDpi)
{
    {
        // Wine reads the screen's DPI when a program starts.
        CSavedRegistryValue dpi(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
        dpi.SetDword(144);
        ASSERT_NO_FATAL_FAILURE(Start(L"3 200"));
    }
    RECT client;
    GetClientRect(host->Window(), &client);
    EXPECT_EQ(client.right, 840);
    EXPECT_EQ(client.bottom, 570);
    const RECT begin = host->ControlRect(IDC_BEGIN_TEST);
    EXPECT_EQ(begin.left, 450);
    EXPECT_EQ(begin.top, 444);
    EXPECT_EQ(Width(begin), 330);
    SaveTestScreenshot(host->Window(), L"idle-144dpi");

    ASSERT_TRUE(host->Click(IDC_BEGIN_TEST));
    ASSERT_TRUE(WaitUntil([&] { return host->ProgressPosition() > 0; }));
    SaveTestScreenshot(host->Window(), L"running-144dpi");
    ASSERT_TRUE(WaitUntil([&] { return ShowsFinished(*host); }));
    EXPECT_EQ(Width(host->ControlRect(IDC_BAR_POTENTIAL)), 180);
    SaveTestScreenshot(host->Window(), L"finished-144dpi");
}
}

namespace
{
// The stored user address as the program writes it: UTF-16LE and one NUL.
std::string StoredAddressBytes(const std::wstring& address)
{
    const char* bytes = reinterpret_cast<const char*>(address.c_str());
    return std::string(bytes, (address.size() + 1) * sizeof(wchar_t));
}

TEST_F(MainWindow, TestHistoryOpensOnlyAWebAddress)
{
    // A program beside the stored address: what the shell would start for
    // "<folder>/en" when the address is opened unchecked.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"history " + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring started = folder + L"\\zxq_install.log";
    ASSERT_TRUE(CopyFileW((GetProgramFolder() + L"\\install_recorder.exe").c_str(), (folder + L"\\en.exe").c_str(),
                          FALSE));
    CUrlRecorder browser(folder + L"\\urls.txt");
    ASSERT_TRUE(browser.IsRegistered());
    const std::wstring addressFile = GetAppDataFolder() + L"\\user_url";
    const std::string savedAddress = ReadFileBytes(addressFile);

    const struct
    {
        std::wstring stored;
        bool opened;
    } cases[] = {
        {folder + L"/page", false},
        {L"http://www.tessarin.test/u/5/de", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Narrow(c.stored));
        WriteFileBytes(addressFile, StoredAddressBytes(c.stored));
        ASSERT_NO_FATAL_FAILURE(Start(L""));
        ASSERT_TRUE(host->Visible(IDC_TEST_HISTORY));
        ASSERT_TRUE(host->Click(IDC_TEST_HISTORY));
        PostMessageW(host->Window(), WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(host->WaitForExit(), 2);
        // The shell opens asynchronously: an address that should not open
        // gets as long to show up as one that should.
        const std::vector<std::wstring> urls = browser.WaitForUrls(1, kWindowWaitMs);
        if (c.opened)
        {
            ASSERT_EQ(urls.size(), 1u);
            EXPECT_EQ(urls[0].find(L"http://www.tessarin.test/u/5/"), 0u) << Narrow(urls[0]);
            EXPECT_NE(urls[0], c.stored);
            EXPECT_EQ(ReadFileBytes(addressFile), StoredAddressBytes(urls[0]));
        }
        else
        {
            EXPECT_TRUE(urls.empty());
            EXPECT_EQ(ReadFileBytes(addressFile), StoredAddressBytes(c.stored));
            EXPECT_EQ(GetFileAttributesW(started.c_str()), INVALID_FILE_ATTRIBUTES);
        }
    }
    if (savedAddress.empty())
        DeleteFileW(addressFile.c_str());
    else
        WriteFileBytes(addressFile, savedAddress);
    for (const wchar_t* name : {L"\\en.exe", L"\\zxq_install.log", L"\\urls.txt"})
        DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(folder.c_str());
}

// A language beside the host made from the English file with some texts
// replaced, and made the current language, while the object lives.
class CScratchLanguage
{
public:
    CScratchLanguage(const std::wstring& stem, const std::vector<std::pair<std::string, std::string>>& replacements)
        : m_path(GetProgramFolder() + L"\\Languages\\" + stem + L".xml")
    {
        std::string text = ReadFileBytes(GetProgramFolder() + L"\\Languages\\English.xml");
        for (const auto& replacement : replacements)
        {
            const size_t found = text.find(replacement.first);
            EXPECT_NE(found, std::string::npos) << replacement.first;
            if (found != std::string::npos)
                text.replace(found, replacement.first.size(), replacement.second);
        }
        CScopedHandle file(CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        m_written = file.Get() != INVALID_HANDLE_VALUE
                    && WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        if (file.Get() == INVALID_HANDLE_VALUE)
            file.Reset();
        m_choice.SetText(stem);
    }
    ~CScratchLanguage() { DeleteFileW(m_path.c_str()); }
    CScratchLanguage(const CScratchLanguage&) = delete;
    CScratchLanguage& operator=(const CScratchLanguage&) = delete;

    bool Written() const { return m_written; }

private:
    std::wstring m_path;
    CSavedRegistryValue m_choice{HKEY_LOCAL_MACHINE, L"Software\\Tessarin", L"Language"};
    bool m_written = false;
};

// A translation whose percentage texts read arguments the window does not
// pass is not used as a format: the English texts show instead.
TEST_F(MainWindow, PercentageTextsThatReadOtherArgumentsFallBackToEnglish)
{
    const std::string eightStrings = ">%s%s%s%s%s%s%s%s<";
    CScratchLanguage language(L"Scrambled", {{">at %d%% of<", eightStrings},
                                             {">Your PC is performing at %.d%% of its potential<", eightStrings},
                                             {">Begin Test<", ">Start scrambled<"}});
    ASSERT_TRUE(language.Written());
    ASSERT_NO_FATAL_FAILURE(Start(L"2 50"));
    ASSERT_EQ(host->Text(IDC_BEGIN_TEST), L"Start scrambled");

    ASSERT_TRUE(host->Click(IDC_BEGIN_TEST));
    ASSERT_TRUE(WaitUntil([&] { return ShowsFinished(*host); }));
    const int percent = static_cast<int>(kHostPercentage);
    EXPECT_EQ(host->Text(IDC_VERDICT_FIRST + 2), L"at " + std::to_wstring(percent) + L"% of");
    EXPECT_EQ(host->Text(IDC_PERCENTAGE), std::to_wstring(percent) + L"%");
    const int fullBar = Width(host->ControlRect(IDC_BAR_POTENTIAL));
    EXPECT_EQ(Width(host->ControlRect(IDC_BAR_CURRENT)), (fullBar * percent + 50) / 100);
    SaveTestScreenshot(host->Window(), L"finished-scrambled-language");

    ASSERT_TRUE(host->Click(IDC_OPTIMIZE));
    ASSERT_TRUE(ShowsIdle(*host));
    EXPECT_EQ(host->Text(IDC_HEADER_LINE),
              L"Your PC is performing at " + std::to_wstring(percent) + L"% of its potential");
}

// Opens the tray menu, presses the keys in it and waits until it is closed.
void UseTrayMenu(const CWindowHost& host, DWORD processId, const std::vector<UINT>& keys)
{
    PostMessageW(host.Window(), WM_TRAY_NOTIFY, 0, WM_RBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return IsMenuOpenIn(processId); }));
    for (UINT key : keys)
        PostKey(host.Window(), key);
    // Enter acts through the character message the menu makes of it, so
    // closing keys wait until the menu had the time to act on it.
    if (!WaitUntil([&] { return !IsMenuOpenIn(processId); }, 1000))
    {
        // Leaves a submenu and the menu.
        PostKey(host.Window(), VK_ESCAPE);
        PostKey(host.Window(), VK_ESCAPE);
        ASSERT_TRUE(WaitUntil([&] { return !IsMenuOpenIn(processId); }));
    }
    // A round trip, so that whatever the menu chose has been handled.
    DWORD_PTR unused = 0;
    SendMessageTimeoutW(host.Window(), WM_NULL, 0, 0, SMTO_NORMAL, kWindowWaitMs, &unused);
}

// While the tray's update check waits for the user, the tray menu offers
// nothing that starts a run, checks again or ends the program, and neither
// Escape nor Alt+F4 ends it.
TEST_F(MainWindow, NothingStartsChecksOrClosesDuringAnUpdateCheck)
{
    CStandInServer site(120);
    ASSERT_TRUE(site.IsRunning());
    ASSERT_TRUE(site.SetRoute(L"/update", {{L"body", L"<update><product><version>9.0</version><autoload>N</autoload>"
                                                     L"<url>http://update.tessarin.test/files/none.exe</url>"
                                                     L"</product></update>"}}));
    ASSERT_NO_FATAL_FAILURE(Start(L"2 50"));
    DWORD processId = 0;
    GetWindowThreadProcessId(host->Window(), &processId);

    // The idle menu: Start test, Language, Check for updates, separator, Exit.
    ASSERT_NO_FATAL_FAILURE(UseTrayMenu(*host, processId, {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}));
    ASSERT_TRUE(WaitUntil([&] { return host->FindMessageBox() != nullptr; }));
    EXPECT_EQ(site.Hits(L"/update"), 1);

    struct Case
    {
        const char* whatTheKeysChoseBefore;
        std::vector<UINT> keys;
    };
    const Case cases[] = {
        {"Start test", {VK_DOWN, VK_RETURN}},
        {"Check for updates", {VK_UP, VK_UP, VK_RETURN}},
        {"Exit application", {VK_UP, VK_RETURN}},
    };
    // Escape and Alt+F4 reach the window as these; the menus below come
    // after them.
    host->PostClick(IDCANCEL);
    PostMessageW(host->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    for (const Case& test : cases)
    {
        ASSERT_NO_FATAL_FAILURE(UseTrayMenu(*host, processId, test.keys)) << test.whatTheKeysChoseBefore;
        ASSERT_TRUE(IsWindow(host->Window())) << test.whatTheKeysChoseBefore;
        EXPECT_TRUE(ShowsIdle(*host)) << test.whatTheKeysChoseBefore;
        EXPECT_NE(host->FindMessageBox(), nullptr) << test.whatTheKeysChoseBefore;
        EXPECT_EQ(site.Hits(L"/update"), 1) << test.whatTheKeysChoseBefore;
    }

    // Declined: the menu starts runs again.
    {
        CMessageBoxAnswerer answerer(L"Zentrix", IDNO);
        ASSERT_TRUE(answerer.WaitForAnswers(1, kWindowWaitMs));
    }
    ASSERT_NO_FATAL_FAILURE(UseTrayMenu(*host, processId, {VK_DOWN, VK_RETURN}));
    EXPECT_TRUE(ShowsRunning(*host) || ShowsFinished(*host));
}
}

namespace
{
// A battery device for SetupAPI (a root-enumerated device with a linked
// battery interface) while the object lives, or until Remove.
class CStandInBattery
{
    static constexpr const wchar_t* kInstanceId = L"ROOT\\TESSARIN_TEST_BATTERY\\0000";

public:
    CStandInBattery() : m_devices(SetupDiCreateDeviceInfoList(nullptr, nullptr))
    {
        static const GUID kBattery = {0x72631E54, 0x78A4, 0x11D0, {0xBC, 0xF7, 0x00, 0xAA, 0x00, 0xB7, 0xB3, 0x2A}};
        m_device.cbSize = sizeof(m_device);
        if (m_devices == INVALID_HANDLE_VALUE)
            return;
        // One that a test program left behind when it ended abruptly.
        if (SetupDiOpenDeviceInfoW(m_devices, kInstanceId, nullptr, 0, &m_device))
            SetupDiRemoveDevice(m_devices, &m_device);
        SP_DEVICE_INTERFACE_DATA battery = {};
        battery.cbSize = sizeof(battery);
        m_present = SetupDiCreateDeviceInfoW(m_devices, kInstanceId, &kBattery, nullptr, nullptr, 0, &m_device)
                    && SetupDiRegisterDeviceInfo(m_devices, &m_device, 0, nullptr, nullptr, nullptr)
                    && SetupDiCreateDeviceInterfaceW(m_devices, &m_device, &kBattery, nullptr, 0, &battery)
                    && Link();
    }
    ~CStandInBattery()
    {
        Remove();
        if (m_devices != INVALID_HANDLE_VALUE)
            SetupDiDestroyDeviceInfoList(m_devices);
    }
    CStandInBattery(const CStandInBattery&) = delete;
    CStandInBattery& operator=(const CStandInBattery&) = delete;

    bool Present() const { return m_present; }
    void Remove()
    {
        if (m_present)
            SetupDiRemoveDevice(m_devices, &m_device);
        m_present = false;
    }

private:
    // Marks the interface as enabled, as its driver would: "present" means
    // linked.
    static bool Link()
    {
        const std::wstring key = L"System\\CurrentControlSet\\Control\\DeviceClasses\\"
                                 L"{72631e54-78a4-11d0-bcf7-00aa00b7b32a}\\"
                                 L"##?#root#tessarin_test_battery#0000#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}\\#\\Control";
        HKEY control = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &control, nullptr)
            != ERROR_SUCCESS)
            return false;
        const DWORD linked = 1;
        const bool set = RegSetValueExW(control, L"Linked", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&linked),
                                        sizeof(linked)) == ERROR_SUCCESS;
        RegCloseKey(control);
        return set;
    }

    HDEVINFO m_devices;
    SP_DEVINFO_DATA m_device = {};
    bool m_present = false;
};

// The picture of the machine kind belongs to the result: a battery that
// goes after the run changes it only with the next result.
TEST_F(MainWindow, MachinePictureIsTakenOncePerResult)
{
    CStandInBattery battery;
    ASSERT_TRUE(battery.Present());
    ASSERT_NO_FATAL_FAILURE(Start(L"2 50"));
    ASSERT_TRUE(host->Click(IDC_BEGIN_TEST));
    ASSERT_TRUE(WaitUntil([&] { return ShowsFinished(*host); }));
    const std::vector<DWORD> laptop = ReadWindowPixels(host->Window());
    ASSERT_FALSE(laptop.empty());
    SaveTestScreenshot(host->Window(), L"finished-laptop");

    battery.Remove();
    EXPECT_TRUE(ReadWindowPixels(host->Window()) == laptop) << "the picture changed without a new result";

    ASSERT_TRUE(host->Click(IDC_OPTIMIZE));
    ASSERT_TRUE(host->Click(IDC_BEGIN_TEST));
    ASSERT_TRUE(WaitUntil([&] { return ShowsFinished(*host); }));
    EXPECT_FALSE(ReadWindowPixels(host->Window()) == laptop) << "the battery was never seen";
}
}
