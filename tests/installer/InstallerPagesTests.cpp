#include <windows.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "base/Folders.h"
#include "testbed/support/UrlRecorder.h"
#include "testbed/support/WindowDriver.h"
#include "tests/installer/InstallerSupport.h"

namespace
{
const DWORD kPageWaitMs = 30000;

struct WindowSearch
{
    std::function<bool(HWND)> wanted;
    HWND found;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM param)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
    if (!IsWindowVisible(window) || !search->wanted(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

// Waits for a visible window of the kind: a top-level one (parent null) or
// a descendant of the parent.
HWND WaitForWindow(HWND parent, const std::function<bool(HWND)>& wanted)
{
    WindowSearch search = {wanted, nullptr};
    WaitUntil(
        [&] {
            if (parent)
                EnumChildWindows(parent, &VisitWindow, reinterpret_cast<LPARAM>(&search));
            else
                EnumWindows(&VisitWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        kPageWaitMs);
    return search.found;
}

// A visible top-level window of the process other than `except`.
HWND WaitForTopWindow(DWORD processId, HWND except)
{
    return WaitForWindow(nullptr, [processId, except](HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        return owner == processId && window != except;
    });
}

std::function<bool(HWND)> WithId(int id)
{
    return [id](HWND child) { return GetDlgCtrlID(child) == id; };
}

bool IsRadioButton(HWND child)
{
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    return lstrcmpiW(className, L"Button") == 0 &&
           (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

std::wstring TextOf(HWND window)
{
    // WM_GETTEXT: GetWindowText reads only captions of another process.
    wchar_t text[512] = {};
    DWORD_PTR unused = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &unused);
    return text;
}

// Presses the dialog's button as a click would.
void Press(HWND dialog, int id)
{
    DWORD_PTR unused = 0;
    SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)), SMTO_NORMAL, 5000, &unused);
}

// Goes through the pages as a user would, in German, saving a screenshot
// of each page in build/test-x64/screenshots/installer.
TEST(InstallerPages, InteractiveInstallGoesThroughItsPagesInTheChosenLanguage)
{
    ASSERT_FALSE(KeyExists(kEntryKey));
    const std::wstring shots = GetProgramFolder() + L"\\..\\screenshots\\installer\\";
    CreateDirectoryW((GetProgramFolder() + L"\\..\\screenshots").c_str(), nullptr);
    CreateDirectoryW(shots.c_str(), nullptr);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring urls = std::wstring(temp) + L"installer_pages_urls.txt";
    DeleteFileW(urls.c_str());
    CUrlRecorder recorder(urls);
    ASSERT_TRUE(recorder.IsRegistered());
    const std::wstring languageBefore = ReadString(kProgramKey, L"Language");
    const bool programKeyExisted = KeyExists(kProgramKey);

    DWORD processId = 0;
    CScopedHandle installer = StartProcess(L"\"" + CurrentInstaller() + L"\"", &processId);
    ASSERT_TRUE(installer);

    // The language question, answered with German.
    HWND language = WaitForTopWindow(processId, nullptr);
    ASSERT_TRUE(language);
    EXPECT_EQ(L"Installer Language", TextOf(language));
    HWND languages = WaitForWindow(language, [](HWND child) {
        wchar_t className[32] = {};
        GetClassNameW(child, className, 32);
        return lstrcmpiW(className, L"ComboBox") == 0;
    });
    ASSERT_TRUE(languages);
    const LRESULT german = SendMessageW(languages, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(L"Deutsch"));
    ASSERT_NE(CB_ERR, german);
    SendMessageW(languages, CB_SETCURSEL, german, 0);
    EXPECT_TRUE(SaveScreenshot(language, shots + L"1-language.png"));
    Press(language, IDOK);

    HWND setup = WaitForTopWindow(processId, language);
    ASSERT_TRUE(setup);
    // The welcome page shows once its title does.
    EXPECT_TRUE(WaitForWindow(setup, [](HWND child) { return TextOf(child).find(L"Willkommen") == 0; }));
    EXPECT_TRUE(SaveScreenshot(setup, shots + L"2-welcome.png"));
    Press(setup, IDOK);

    HWND folder = WaitForWindow(setup, WithId(1019));
    ASSERT_TRUE(folder);
    EXPECT_EQ(InstallFolder(), TextOf(folder));
    EXPECT_TRUE(SaveScreenshot(setup, shots + L"3-folder.png"));
    Press(setup, IDOK);

    HWND progress = WaitForWindow(setup, WithId(1004));
    EXPECT_TRUE(progress);
    EXPECT_TRUE(SaveScreenshot(setup, shots + L"4-progress.png"));

    // The finish page offers the restart, with "later" chosen.
    HWND restartNow = WaitForWindow(setup, &IsRadioButton);
    ASSERT_TRUE(restartNow);
    HWND restartLater = GetWindow(restartNow, GW_HWNDNEXT);
    ASSERT_TRUE(restartLater);
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(restartNow, BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_CHECKED, SendMessageW(restartLater, BM_GETCHECK, 0, 0));
    EXPECT_TRUE(SaveScreenshot(setup, shots + L"5-finish.png"));
    // Finish only when it would not restart the test machine.
    if (SendMessageW(restartNow, BM_GETCHECK, 0, 0) != BST_CHECKED)
        Press(setup, IDOK);
    if (WaitForSingleObject(installer.Get(), kPageWaitMs) != WAIT_OBJECT_0)
    {
        ADD_FAILURE() << "the installer did not end";
        TerminateProcess(installer.Get(), 1);
    }
    DWORD code = 1;
    GetExitCodeProcess(installer.Get(), &code);
    EXPECT_EQ(0u, code);

    // The interactive run opened the install page and set the page language.
    const std::vector<std::wstring> opened = recorder.WaitForUrls(1, 10000);
    ASSERT_EQ(1u, opened.size());
    EXPECT_NE(std::wstring::npos, opened[0].find(L"/zentrix/install?"));
    EXPECT_EQ(L"German", ReadString(kProgramKey, L"Language"));
    EXPECT_EQ(1u, ReadDword(kProgramKey, L"RunAtStartUp", 0));
    EXPECT_TRUE(KeyExists(kEntryKey));

    // Uninstalled again, the language put back.
    RunAndWait(ReadString(kEntryKey, L"QuietUninstallString"));
    EXPECT_TRUE(WaitUntil([] { return !KeyExists(kEntryKey) && !FileExists(InstallFolder()); }, 60000));
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProgramKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS)
    {
        if (languageBefore.empty())
            RegDeleteValueW(key, L"Language");
        else
            RegSetValueExW(key, L"Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(languageBefore.c_str()),
                           static_cast<DWORD>((languageBefore.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    if (!programKeyExisted)
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProgramKey);
    DeleteFileW(urls.c_str());
}
}
