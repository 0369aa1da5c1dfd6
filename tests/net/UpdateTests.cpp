#include <windows.h>

#include <process.h>

#include <functional>
#include <set>

#include <gtest/gtest.h>

#include "base/ComSupport.h"
#include "net/BrowserDialog.h"
#include "net/DownloadJob.h"
#include "net/DownloadProgressDlg.h"
#include "net/Update.h"
#include "resources/ResourceIds.h"
#include "base/StringFormat.h"
#include "testbed/support/LogRecorder.h"
#include "testbed/support/MessageWindow.h"
#include "tests/net/NetTestSupport.h"

namespace
{
const wchar_t kInstallerUrl[] = L"http://update.tessarin.test/files/setup.exe";

std::wstring ScratchFile(const wchar_t* name)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return FormatText(L"%ls%lu-%ls", temp, GetCurrentProcessId(), name);
}

class UpdateTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StandIn().IsRunning());
        ASSERT_TRUE(StandIn().Reset());
    }
    void TearDown() override { DeleteFileW(m_file.c_str()); }

    CComApartment m_com;
    std::wstring m_file = ScratchFile(L"download.bin");
};
}

TEST(UpdateVersionTest, ComparesComponentByComponent)
{
    struct Case
    {
        const wchar_t* a;
        const wchar_t* b;
        bool lower;
    } cases[] = {
        {L"1.2", L"1.2.0.0", false},   {L"1.2.0.0", L"1.2", false},   {L"1.0.0.9", L"1.0.1", true},
        {L"2.0", L"10.0", true},       {L"1.10", L"1.9", false},      {L"", L"0.0.0.1", true},
        {L"junk", L"0", false},        {L"1.2.3.4", L"1.2.3.5", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.lower, IsVersionLower(ParseVersion(c.a), ParseVersion(c.b))) << c.a << L" < " << c.b;
    EXPECT_EQ((Version{1, 2, 0, 0}), ParseVersion(L"1.2"));
}

TEST(UpdateReplyTest, ReadsProductAndMessage)
{
    CComApartment com;
    UpdateInfo info;
    ASSERT_TRUE(ParseUpdateReply(L"<update><product><code>ZX</code><version>2.1</version><autoload>Y</autoload>"
                                 L"<url>http://h/i.exe</url><filesize>1234</filesize><filemd5>abc</filemd5></product>"
                                 L"<message><title>News</title><message>http://h/news</message></message></update>",
                                 info));
    EXPECT_EQ(L"ZX", info.code);
    EXPECT_EQ(L"2.1", info.version);
    EXPECT_TRUE(info.autoload);
    EXPECT_EQ(L"http://h/i.exe", info.url);
    EXPECT_EQ(1234, info.filesize);
    EXPECT_EQ(L"abc", info.filemd5);
    EXPECT_EQ(L"News", info.title);
    EXPECT_EQ(L"http://h/news", info.message);
}

TEST(UpdateReplyTest, RejectsOtherDocumentsAndOddValues)
{
    CComApartment com;
    for (const wchar_t* reply : {L"<?xml version=\"1.0\"?><update/>", L"<other/>", L"<update><product>", L"", L"text"})
    {
        UpdateInfo info;
        EXPECT_FALSE(ParseUpdateReply(reply, info)) << reply;
    }
    struct Case
    {
        const wchar_t* product;
        bool autoload;
        int filesize;
    } cases[] = {
        {L"<autoload>y</autoload><filesize>12</filesize>", true, 12},
        {L"<autoload>yes</autoload><filesize>abc</filesize>", false, 0},
        {L"<autoload>N</autoload><filesize>-5</filesize>", false, 0},
        {L"<filesize>99999999999</filesize>", false, 0},
    };
    for (const Case& c : cases)
    {
        UpdateInfo info;
        ASSERT_TRUE(ParseUpdateReply(std::wstring(L"<update><product>") + c.product + L"</product></update>", info));
        EXPECT_EQ(c.autoload, info.autoload) << c.product;
        EXPECT_EQ(c.filesize, info.filesize) << c.product;
    }
}

TEST(DownloadUrlTest, SplitsHostAndPathDroppingQueryAndPort)
{
    struct Case
    {
        const wchar_t* url;
        bool valid;
        const wchar_t* host;
        const wchar_t* path;
    } cases[] = {
        {L"http://h.test/a/b.exe", true, L"h.test", L"/a/b.exe"},
        {L"http://h.test:8080/a.exe?x=1&y=2", true, L"h.test", L"/a.exe"},
        {L"http://h.test", true, L"h.test", L"/"},
        {L"http:///a.exe", false, L"", L""},
        {L"/a.exe", false, L"", L""},
        {L"", false, L"", L""},
    };
    for (const Case& c : cases)
    {
        std::wstring host, path;
        EXPECT_EQ(c.valid, SplitDownloadUrl(c.url, host, path)) << c.url;
        if (c.valid)
        {
            EXPECT_EQ(c.host, host) << c.url;
            EXPECT_EQ(c.path, path) << c.url;
        }
    }
}

TEST(FileMd5Test, HashesFilesByTheirWideNames)
{
    const std::wstring path = ScratchFile(L"md5 \u03a9\u4e2d.bin");
    struct Case
    {
        std::string content;
        const wchar_t* md5;
    } cases[] = {
        {"", L"d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", L"900150983cd24fb0d6963f7d28e17f72"},
        {std::string(10000, 'a'), L"0d0c9c4db6953fee9e03f528cafd7d3e"},
    };
    for (const Case& c : cases)
    {
        WriteFileBytes(path, c.content);
        std::wstring md5;
        EXPECT_TRUE(ComputeFileMd5(path, md5)) << c.md5;
        EXPECT_EQ(c.md5, md5);
    }
    DeleteFileW(path.c_str());
    std::wstring md5;
    EXPECT_FALSE(ComputeFileMd5(path, md5));
}

TEST_F(UpdateTest, DialogDownloadsAndShowsProgress)
{
    struct Case
    {
        int filesize;
        bool movesOn;
    } cases[] = {{20000, true}, {0, false}};
    for (const Case& c : cases)
    {
        ASSERT_TRUE(StandIn().Reset());
        ASSERT_TRUE(StandIn().SetRoute(L"/files/setup.exe",
                                       {{L"body", L"MZ"}, {L"repeat", L"20000"}, {L"pieces", L"4"}, {L"delay_ms", L"150"}}));
        std::set<std::wstring> percents;
        {
            CWindowWatcher watcher(L"Zentrix", [&percents](HWND dialog) {
                const std::wstring percent = ControlText(dialog, IDC_DOWNLOAD_PERCENT);
                if (!percent.empty())
                    percents.insert(percent);
                return false;
            });
            const std::wstring url = std::wstring(kInstallerUrl) + L"?session=1";
            EXPECT_EQ(IDOK, CDownloadProgressDlg(c.filesize, url, m_file).DoModal(nullptr));
        }
        EXPECT_EQ(20000u, ReadFileBytes(m_file).size());
        // The query part is not sent.
        EXPECT_EQ(1, StandIn().Hits(L"/files/setup.exe"));
        ASSERT_FALSE(percents.empty()) << c.filesize;
        percents.erase(L"0%");
        EXPECT_EQ(c.movesOn, !percents.empty()) << c.filesize;
    }
}

TEST_F(UpdateTest, CancelClosesAtOnceAndTheDownloadStops)
{
    ASSERT_TRUE(StandIn().SetRoute(L"/files/setup.exe",
                                   {{L"body", L"MZ"}, {L"repeat", L"100000"}, {L"pieces", L"100"}, {L"delay_ms", L"100"}}));
    CWindowWatcher canceller(L"Zentrix", [](HWND dialog) {
        if (ControlText(dialog, IDC_DOWNLOAD_AMOUNT).find(L"0.00KB") != std::wstring::npos)
            return false; // nothing received yet
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    EXPECT_EQ(IDCANCEL, CDownloadProgressDlg(100000, kInstallerUrl, m_file).DoModal(nullptr));
    EXPECT_TRUE(canceller.Done());
    const size_t atCancel = ReadFileBytes(m_file).size();
    EXPECT_LT(atCancel, 100000u);
    Sleep(500);
    EXPECT_EQ(atCancel, ReadFileBytes(m_file).size());
}

TEST_F(UpdateTest, ProxyCredentialsComeFromTheDialog)
{
    struct Case
    {
        int button;
        bool downloaded;
    } cases[] = {{IDOK, true}, {IDCANCEL, false}};
    for (const Case& c : cases)
    {
        ASSERT_TRUE(StandIn().SetRoute(L"/files/setup.exe", {{L"body", L"installer"}, {L"auth", L"proxy-basic"},
                                                              {L"user", L"ann"}, {L"password", L"pa ss"}}));
        CWindowWatcher typist(L"Connecting to proxy-server", [&c](HWND dialog) {
            SetDlgItemTextW(dialog, IDC_PROXY_USER, L"ann");
            SetDlgItemTextW(dialog, IDC_PROXY_PASSWORD, L"pa ss");
            PostMessageW(dialog, WM_COMMAND, c.button, 0);
            return true;
        });
        CLogRecorder recorder;
        CDownloadJob job(kInstallerUrl, m_file, nullptr);
        DownloadFile(job);
        EXPECT_TRUE(typist.Done());
        EXPECT_EQ(c.downloaded, ReadFileBytes(m_file) == "installer") << c.button;
        EXPECT_EQ(!c.downloaded,
                  recorder.NewText().find(L"Error:\tAuthentication proxy fails.\t") != std::wstring::npos);
    }
}

TEST_F(UpdateTest, ProxyDialogBelongsToTheDownloadAndEndsWithItsCancel)
{
    ASSERT_TRUE(StandIn().SetRoute(L"/files/setup.exe", {{L"body", L"installer"}, {L"auth", L"proxy-basic"},
                                                          {L"user", L"ann"}, {L"password", L"pw"}}));
    WriteFileBytes(m_file, "earlier attempt");
    HWND progress = nullptr, owner = nullptr;
    {
        // The user cancels the download while the proxy asks for credentials.
        CWindowWatcher canceller(L"Connecting to proxy-server", [&](HWND proxy) {
            owner = GetWindow(proxy, GW_OWNER);
            progress = FindWindowW(nullptr, L"Zentrix");
            PostMessageW(progress, WM_COMMAND, IDCANCEL, 0);
            return true;
        });
        EXPECT_EQ(IDCANCEL, CDownloadProgressDlg(100, kInstallerUrl, m_file).DoModal(nullptr));
        EXPECT_TRUE(canceller.Done());
    }
    EXPECT_NE(progress, nullptr);
    EXPECT_EQ(owner, progress);
    // The proxy dialog goes with the download...
    for (int waited = 0; waited < 5000 && FindWindowW(nullptr, L"Connecting to proxy-server"); waited += 100)
        Sleep(100);
    EXPECT_EQ(nullptr, FindWindowW(nullptr, L"Connecting to proxy-server"));
    {
        // ...and answering one still open would change nothing.
        CWindowWatcher typist(L"Connecting to proxy-server", [](HWND proxy) {
            SetDlgItemTextW(proxy, IDC_PROXY_USER, L"ann");
            SetDlgItemTextW(proxy, IDC_PROXY_PASSWORD, L"pw");
            PostMessageW(proxy, WM_COMMAND, IDOK, 0);
            return true;
        });
        Sleep(1000); // time for a download that went on to show itself
    }
    EXPECT_EQ(1, StandIn().Hits(L"/files/setup.exe"));
    EXPECT_EQ("earlier attempt", ReadFileBytes(m_file));
}

namespace
{
// A hidden top-level window standing in for the progress dialog. A modal
// dialog disables its owner as it opens: onDisabled runs right then, while
// the opening thread waits for the owner's answer.
class COwnerWindow
{
public:
    explicit COwnerWindow(std::function<void()> onDisabled) : m_onDisabled(std::move(onDisabled))
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = &COwnerWindow::WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TessarinTestOwner";
        RegisterClassW(&windowClass); // fails harmlessly once registered
        m_window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                   windowClass.hInstance, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~COwnerWindow() { DestroyWindow(m_window); }
    COwnerWindow(const COwnerWindow&) = delete;
    COwnerWindow& operator=(const COwnerWindow&) = delete;

    HWND Handle() const { return m_window; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* owner = reinterpret_cast<COwnerWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (owner && message == WM_ENABLE && !wParam)
            owner->m_onDisabled();
        return DefWindowProcW(window, message, wParam, lParam);
    }

    std::function<void()> m_onDisabled;
    HWND m_window = nullptr;
};

unsigned __stdcall DownloadOnThread(void* job)
{
    DownloadFile(*static_cast<CDownloadJob*>(job));
    return 0;
}
}

// The user cancels just after the download saw that the proxy asks, as its
// dialog opens: no prompt shows.
TEST_F(UpdateTest, CancelAsTheProxyDialogOpensShowsNoPrompt)
{
    ASSERT_TRUE(StandIn().SetRoute(L"/files/setup.exe", {{L"body", L"installer"}, {L"auth", L"proxy-basic"},
                                                          {L"user", L"ann"}, {L"password", L"pw"}}));
    WriteFileBytes(m_file, "earlier attempt");
    CDownloadJob* cancelled = nullptr;
    COwnerWindow owner([&cancelled] {
        if (cancelled)
            cancelled->Cancel();
    });
    CDownloadJob job(kInstallerUrl, m_file, owner.Handle());
    cancelled = &job;
    bool prompted = false;
    CWindowWatcher answerer(L"Connecting to proxy-server", [&prompted](HWND proxy) {
        if (!IsWindowVisible(proxy))
            return false;
        prompted = true;
        PostMessageW(proxy, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    CScopedHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &DownloadOnThread, &job, 0, nullptr)));
    ASSERT_TRUE(CMessageWindow::WaitPumping(thread.Get(), 20000));

    EXPECT_TRUE(job.IsCancelled()) << "the dialog did not disable its owner";
    EXPECT_FALSE(prompted);
    EXPECT_EQ(1, StandIn().Hits(L"/files/setup.exe"));
    EXPECT_EQ("earlier attempt", ReadFileBytes(m_file));
}

TEST_F(UpdateTest, BadDownloadAddressesAreLogged)
{
    for (const wchar_t* url : {L"http:///setup.exe", L"setup.exe"})
    {
        CLogRecorder recorder;
        CDownloadJob job(url, m_file, nullptr);
        DownloadFile(job);
        EXPECT_NE(std::wstring::npos, recorder.NewText().find(L"Error:\tInvalid url for downloading.\t"))
            << url;
    }
}

TEST_F(UpdateTest, BrowserDialogOpensResizesAndCloses)
{
    std::wstring caption;
    RECT before = {}, after = {};
    CWindowWatcher driver(L"News of the day", [&](HWND dialog) {
        HWND view = GetDlgItem(dialog, IDC_BROWSER_VIEW);
        if (!view)
            return false;
        GetClientRect(view, &before);
        SetWindowPos(dialog, nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
        GetClientRect(view, &after);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    CBrowserDialog(L"News of the day", L"http://update.tessarin.test/news").DoModal(nullptr);
    EXPECT_TRUE(driver.Done());
    EXPECT_GT(before.right, 0);
    EXPECT_NE(before.right, after.right);
}
