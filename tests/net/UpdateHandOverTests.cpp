#include <windows.h>

#include <vector>

#include <gtest/gtest.h>

#include "net/HttpParameters.h"
#include "resources/ResourceIds.h"
#include "base/Folders.h"
#include "base/StringFormat.h"
#include "testbed/support/MessageBoxAnswerer.h"
#include "testbed/support/LogRecorder.h"
#include "tests/net/NetTestSupport.h"
#include "tests/shell/LanguageTestSupport.h"

namespace
{
const wchar_t kInstallerPath[] = L"/files/zxq_install.exe";
const wchar_t kUpdateQuestion[] =
    L"A new update is available for Zentrix. Would you like to download and install this update now?";
const DWORD kProbeReturned = 3;

// The boxes the answerer met, less the download dialog, which has the
// same caption.
std::vector<std::wstring> Boxes(const CMessageBoxAnswerer& answerer)
{
    std::vector<std::wstring> boxes;
    for (const std::wstring& text : answerer.Texts())
        if (text != L"Downloading")
            boxes.push_back(text);
    return boxes;
}

// A program folder (with a blank and characters outside the ANSI code page
// in its name) holding copies of the update probe and the updater. The
// stand-in update server offers the recording stand-in installer, signed by
// the build's publisher.
class UpdateHandOverTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StandIn().IsRunning());
        ASSERT_TRUE(StandIn().Reset());
        // The probe's language is English whatever other test programs left
        // behind; an unknown one would make its start ask about it.
        m_language.Set(L"English");
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        m_folder = FormatText(L"%lsZentrix \u03a9 %lu", temp, GetCurrentProcessId());
        CreateDirectoryW(m_folder.c_str(), nullptr);
        const std::wstring built = GetProgramFolder();
        for (const wchar_t* name : {L"update_probe.exe", L"updater.exe"})
            ASSERT_TRUE(CopyFileW((built + L"\\" + name).c_str(), (m_folder + L"\\" + name).c_str(), FALSE));
        // The current language's file, so that the probe warns of none
        // missing: the English document this program carries too.
        CreateDirectoryW((m_folder + L"\\Languages").c_str(), nullptr);
        HRSRC english = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_DEFAULT_LANGUAGE), L"XML");
        ASSERT_TRUE(english);
        const char* text = static_cast<const char*>(LockResource(LoadResource(nullptr, english)));
        WriteFileBytes(m_folder + L"\\Languages\\English.xml",
                   std::string(text, SizeofResource(nullptr, english)));
        // Signed by the publisher whose key the probe carries.
        ServeInstaller(ReadFileBytes(built + L"\\install_recorder_signed.exe"));
    }

    void ServeInstaller(const std::string& installer)
    {
        m_installer = installer;
        ASSERT_FALSE(m_installer.empty());
        ASSERT_TRUE(StandIn().SetRoute(kInstallerPath, {{L"body_base64", Base64Text(m_installer)}}));
    }

    void TearDown() override
    {
        for (HANDLE probe : m_probes)
            CloseHandle(probe);
        // The installer may still be starting after the probe has gone.
        for (int attempt = 0; attempt < 50 && !DeleteFileW((m_folder + L"\\zxq_install.exe").c_str()) &&
                              GetFileAttributesW((m_folder + L"\\zxq_install.exe").c_str()) != INVALID_FILE_ATTRIBUTES;
             ++attempt)
            Sleep(100);
        for (const wchar_t* name : {L"update_probe.exe", L"updater.exe", L"zxq_install.log", L"Languages\\English.xml"})
            DeleteFileW((m_folder + L"\\" + name).c_str());
        RemoveDirectoryW((m_folder + L"\\Languages").c_str());
        RemoveDirectoryW(m_folder.c_str());
    }

    // The update server's reply offering the stand-in installer.
    void OfferUpdate(const std::wstring& version, const std::wstring& autoload, const std::wstring& md5,
                     const std::wstring& message = L"")
    {
        std::wstring reply = FormatText(L"<update><product><code>ZX</code><version>%ls</version>"
                                        L"<autoload>%ls</autoload><url>http://update.tessarin.test%ls?from=%ls</url>"
                                        L"<filesize>%u</filesize><filemd5>%ls</filemd5></product>%ls</update>",
                                        version.c_str(), autoload.c_str(), kInstallerPath, version.c_str(),
                                        static_cast<unsigned>(m_installer.size()), md5.c_str(), message.c_str());
        ASSERT_TRUE(StandIn().SetRoute(L"/update", {{L"body", reply}}));
    }

    // The probe's own check is what is under test, so the digest is
    // computed here through CryptoAPI directly.
    std::wstring InstallerMd5() const { return Md5Text(m_installer); }

    // Runs the probe to its end; its exit code.
    DWORD RunProbe(const std::wstring& arguments = L"")
    {
        std::wstring commandLine = L"\"" + m_folder + L"\\update_probe.exe\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process))
            return static_cast<DWORD>(-1);
        CloseHandle(process.hThread);
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        else
            TerminateProcess(process.hProcess, 1);
        // Held until the test ends: Wine hands out a freed process id again
        // at once, and the updater must find the ended probe, not a newcomer.
        m_probes.push_back(process.hProcess);
        return code;
    }

    // What the stand-in installer recorded, waiting up to waitMs for it.
    std::wstring InstallerRecord(DWORD waitMs)
    {
        for (DWORD waited = 0;; waited += 100)
        {
            std::string bytes = ReadFileBytes(m_folder + L"\\zxq_install.log");
            if (!bytes.empty() || waited >= waitMs)
                return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
            Sleep(100);
        }
    }

    const CSavedRegistryValue m_language{HKEY_LOCAL_MACHINE, L"Software\\Tessarin", L"Language"};
    std::wstring m_folder;
    std::string m_installer;
    std::vector<HANDLE> m_probes;
};
}

TEST_F(UpdateHandOverTest, AutoloadDownloadsChecksAndHandsOverToTheUpdater)
{
    OfferUpdate(L"9.0", L"Y", InstallerMd5());
    CMessageBoxAnswerer answerer(L"Zentrix", IDNO);
    EXPECT_EQ(0u, RunProbe());
    EXPECT_EQ(L"\"" + m_folder + L"\\zxq_install.exe\" /S\n", InstallerRecord(10000));
    EXPECT_EQ(1, StandIn().Hits(kInstallerPath));
    // The request named the running version and the machine.
    EXPECT_NE(std::wstring::npos, StandIn().LastField(L"xml").find(L"<version>1.0.0.0</version>"));
    EXPECT_EQ(35u, StandIn().LastField(L"UID").size());
    EXPECT_TRUE(Boxes(answerer).empty()) << Boxes(answerer)[0];
}

TEST_F(UpdateHandOverTest, QuestionDecidesWithoutAutoload)
{
    struct Case
    {
        const wchar_t* version;
        const wchar_t* autoload;
        int answer;
        size_t questions;
        DWORD exitCode;
    } cases[] = {
        {L"9.0", L"yes", IDNO, 1, kProbeReturned},
        {L"9.0", L"", IDYES, 1, 0},
        // The running version (1.0.0.0) and older ones ask nothing.
        {L"1.0", L"Y", IDYES, 0, kProbeReturned},
        {L"0.9.9.9", L"", IDYES, 0, kProbeReturned},
    };
    for (const Case& c : cases)
    {
        OfferUpdate(c.version, c.autoload, InstallerMd5());
        CMessageBoxAnswerer answerer(L"Zentrix", c.answer);
        EXPECT_EQ(c.exitCode, RunProbe()) << c.version << L" " << c.autoload;
        ASSERT_EQ(c.questions, Boxes(answerer).size()) << c.version << L" " << c.autoload;
        if (c.questions)
        {
            EXPECT_EQ(kUpdateQuestion, Boxes(answerer)[0]);
        }
        EXPECT_EQ(c.exitCode == 0 ? L"\"" + m_folder + L"\\zxq_install.exe\" /S\n" : L"",
                  InstallerRecord(c.exitCode == 0 ? 10000 : 0));
        DeleteFileW((m_folder + L"\\zxq_install.log").c_str());
    }
}

// Failed installations: a checksum that never matches, and an update
// accepted while a run is under way, whose hand-over would end the program
// in the middle of the run.
TEST_F(UpdateHandOverTest, FailedInstallationsTellTheUserAndInstallNothing)
{
    std::wstring uppercaseMd5 = InstallerMd5();
    CharUpperW(&uppercaseMd5[0]);
    struct Case
    {
        std::wstring md5;
        const wchar_t* probeArguments;
        int downloads;
        const wchar_t* box;
        const wchar_t* logLine;
    } cases[] = {
        {uppercaseMd5, L"", 3, L"An error ocured during downloading update.",
         L"Error:\tAn error occured while updates installing. Updates weren't installed! #2\t"},
        {InstallerMd5(), L"during-run", 1, L"An error occured while updates installing. Updates weren't installed!",
         L"Error:\tAn error occured while updates installing. Updates weren't installed! #4: a test is running\t"},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(StandIn().Reset());
        ASSERT_TRUE(StandIn().SetRoute(kInstallerPath, {{L"body_base64", Base64Text(m_installer)}}));
        OfferUpdate(L"9.0", L"Y", c.md5);
        CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
        const size_t logStart = ReadProgramLog().size();
        EXPECT_EQ(kProbeReturned, RunProbe(c.probeArguments)) << c.logLine;
        EXPECT_EQ(c.downloads, StandIn().Hits(kInstallerPath)) << c.logLine;
        ASSERT_EQ(1u, Boxes(answerer).size()) << c.logLine;
        EXPECT_EQ(c.box, Boxes(answerer)[0]);
        EXPECT_NE(std::wstring::npos, ReadProgramLog().substr(logStart).find(c.logLine)) << c.logLine;
        EXPECT_EQ(L"", InstallerRecord(1000)) << c.logLine;
    }
}

// The checksum passes in each case (it is the offered file's); only an
// installer the publisher signed, of a version above the running one, is
// handed over (the test above), any other is deleted and refused like a
// failed download.
TEST_F(UpdateHandOverTest, InstallerNotSignedByThePublisherIsRefused)
{
    const std::wstring built = GetProgramFolder();
    std::string changed = ReadFileBytes(built + L"\\install_recorder_signed.exe");
    ASSERT_FALSE(changed.empty());
    changed[changed.size() / 4] ^= 0x01;
    const struct
    {
        std::string installer;
        const wchar_t* reason;
    } cases[] = {
        {ReadFileBytes(built + L"\\install_recorder.exe"), L"the installer is not signed (trust result 0x800B0100)"},
        {changed, L"the installer's signature is not valid (trust result 0x80096010)"},
        {ReadFileBytes(built + L"\\install_recorder_other.exe"),
         L"the installer is signed by another publisher (trust result 0x00000000)"},
        // An older release the publisher signed, offered again as newer.
        {ReadFileBytes(built + L"\\install_recorder_old_signed.exe"),
         L"the installer's version (0.9.0.0) is not newer than this program's (1.0.0.0)"},
    };
    for (const auto& c : cases)
    {
        ServeInstaller(c.installer);
        OfferUpdate(L"9.0", L"Y", InstallerMd5());
        CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
        const size_t logStart = ReadProgramLog().size();
        EXPECT_EQ(kProbeReturned, RunProbe()) << c.reason;
        ASSERT_EQ(1u, Boxes(answerer).size()) << c.reason;
        EXPECT_EQ(L"An error ocured during downloading update.", Boxes(answerer)[0]);
        EXPECT_NE(std::wstring::npos, ReadProgramLog().substr(logStart).find(
                                          std::wstring(L"Error:\tThe update installer was refused: ") + c.reason))
            << c.reason;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((m_folder + L"\\zxq_install.exe").c_str())) << c.reason;
        EXPECT_EQ(L"", InstallerRecord(0)) << c.reason;
    }
}

TEST_F(UpdateHandOverTest, MessagePageIsShownWithoutQuestion)
{
    OfferUpdate(L"1.0", L"N", InstallerMd5(),
                L"<message><title>Tessarin news</title><message>http://update.tessarin.test/news</message></message>");
    CWindowWatcher closer(L"Tessarin news", [](HWND dialog) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    CMessageBoxAnswerer answerer(L"Zentrix", IDYES);
    EXPECT_EQ(kProbeReturned, RunProbe());
    EXPECT_TRUE(closer.Done());
    EXPECT_TRUE(Boxes(answerer).empty());
}

TEST_F(UpdateHandOverTest, BadRepliesAreLoggedAndStartUpGoesOn)
{
    struct Case
    {
        CStandInServer::Fields route;
        const wchar_t* line;
    } cases[] = {
        {{{L"body", L"<?xml version=\"1.0\"?><update/>"}}, L"Error:\tInvalid server response.\t"},
        {{{L"body", L"<update><product>"}}, L"Error:\tInvalid server response.\t"},
        {{{L"body", L"<update/>"}, {L"repeat", L"10000000"}}, L"Error:\tReceiving data from server error.\t"},
        {{{L"body", L"<update/>"}, {L"length", L"short"}}, L"Error:\tReceiving data from server error.\t"},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(StandIn().SetRoute(L"/update", c.route));
        const size_t logStart = ReadProgramLog().size();
        EXPECT_EQ(kProbeReturned, RunProbe());
        EXPECT_NE(std::wstring::npos, ReadProgramLog().substr(logStart).find(c.line)) << c.line;
    }
}

TEST_F(UpdateHandOverTest, ProxyDialogLetsTheCheckThrough)
{
    struct Case
    {
        int button;
        bool failed;
    } cases[] = {{IDOK, false}, {IDCANCEL, true}};
    for (const Case& c : cases)
    {
        ASSERT_TRUE(StandIn().SetRoute(L"/update", {{L"body", L"<update><product><version>1.0</version></product></update>"},
                                                    {L"auth", L"proxy-basic"}, {L"user", L"ann"}, {L"password", L"pw"}}));
        CWindowWatcher typist(L"Connecting to proxy-server", [&c](HWND dialog) {
            SetDlgItemTextW(dialog, IDC_PROXY_USER, L"ann");
            SetDlgItemTextW(dialog, IDC_PROXY_PASSWORD, L"pw");
            PostMessageW(dialog, WM_COMMAND, c.button, 0);
            return true;
        });
        const size_t logStart = ReadProgramLog().size();
        EXPECT_EQ(kProbeReturned, RunProbe());
        EXPECT_TRUE(typist.Done());
        const std::wstring log = ReadProgramLog().substr(logStart);
        EXPECT_EQ(c.failed, log.find(L"Error:\tAuthentication proxy fails.\t") != std::wstring::npos) << log;
        EXPECT_EQ(c.failed, log.find(L"Error:\tInvalid server response.\t") != std::wstring::npos) << log;
    }
}
