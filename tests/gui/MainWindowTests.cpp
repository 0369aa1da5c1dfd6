#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/Messages.h"
#include <shlobj.h>
#include "shell/MainDlg.h"
#include "testbed/MessageBoxAnswerer.h"
#include "testbed/UrlRecorder.h"
#include "testbed/WindowDriver.h"

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

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

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
    // the run reports that it has stopped.
    ASSERT_TRUE(host->Click(IDC_CANCEL_SCAN));
    EXPECT_EQ(host->Text(IDC_STATUS), L"Please wait while test is stopped.");
    EXPECT_TRUE(ShowsRunning(*host));
    ASSERT_TRUE(WaitUntil([&] { return ShowsIdle(*host); }));
    EXPECT_EQ(host->Text(IDC_STATUS), L"Please wait while test is stopped.");
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

std::string ReadWholeFile(const std::wstring& path)
{
    CScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
    {
        file.Reset();
        return std::string();
    }
    std::string bytes(GetFileSize(file.Get(), nullptr), '\0');
    DWORD read = 0;
    ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    return bytes.substr(0, read);
}

void WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    CScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
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
    const std::string savedAddress = ReadWholeFile(addressFile);

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
        WriteWholeFile(addressFile, StoredAddressBytes(c.stored));
        ASSERT_NO_FATAL_FAILURE(Start(L""));
        ASSERT_TRUE(host->Visible(IDC_TEST_HISTORY));
        ASSERT_TRUE(host->Click(IDC_TEST_HISTORY));
        PostMessageW(host->Window(), WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(host->WaitForExit(), 2);
        const std::vector<std::wstring> urls = browser.WaitForUrls(1, c.opened ? kWindowWaitMs : 0);
        if (c.opened)
        {
            ASSERT_EQ(urls.size(), 1u);
            EXPECT_EQ(urls[0].find(L"http://www.tessarin.test/u/5/"), 0u) << Narrow(urls[0]);
            EXPECT_NE(urls[0], c.stored);
            EXPECT_EQ(ReadWholeFile(addressFile), StoredAddressBytes(urls[0]));
        }
        else
        {
            EXPECT_TRUE(urls.empty());
            EXPECT_EQ(ReadWholeFile(addressFile), StoredAddressBytes(c.stored));
            EXPECT_EQ(GetFileAttributesW(started.c_str()), INVALID_FILE_ATTRIBUTES);
        }
    }
    if (savedAddress.empty())
        DeleteFileW(addressFile.c_str());
    else
        WriteWholeFile(addressFile, savedAddress);
    for (const wchar_t* name : {L"\\en.exe", L"\\zxq_install.log", L"\\urls.txt"})
        DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(folder.c_str());
}
}
