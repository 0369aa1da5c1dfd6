#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Folders.h"
#include "shell/Module.h"
#include "shell/SingleInstanceLock.h"
#include "testbed/support/MessageBoxAnswerer.h"
#include "tests/shell/LanguageTestSupport.h"
#include "tests/shell/ShellTestSupport.h"

namespace
{
const wchar_t kProgramKey[] = L"Software\\Tessarin";
const wchar_t kDefaultMachineIdText[] = L"11111111-11111111-11111111-11111111";

// "yyyy.mm.dd hh:mm:ss ": the start of a line the log wrote, as opposed to
// the continuation of a text that holds a line break.
bool IsLogLineStart(const std::wstring& line)
{
    return line.size() > 20 && line[4] == L'.' && line[7] == L'.' && line[13] == L':' && line[16] == L':';
}

// A copy of the module probe in a scratch folder of its own, so that the
// "Languages" folder it writes beside itself goes away with the folder.
class CModuleProbe
{
public:
    CModuleProbe()
    {
        m_copied = CopyFileW((GetProgramFolder() + L"\\module_probe.exe").c_str(), Program().c_str(), FALSE) != FALSE;
        CreateDirectoryW(LanguagesFolder().c_str(), nullptr);
    }

    bool Copied() const { return m_copied; }
    std::wstring LanguagesFolder() const { return m_folder / L"Languages"; }

    // Runs the probe; its exit code, or -1 when it did not end in time.
    int Run(const std::wstring& arguments) const
    {
        std::wstring commandLine = L"\"" + Program() + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(Program().c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            m_folder.Path().c_str(), &startup, &process))
            return -1;
        DWORD exitCode = static_cast<DWORD>(-1);
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return static_cast<int>(exitCode);
    }

    // Runs "<command> [argument] <report file>" and reads the report's
    // "name=value" lines.
    std::map<std::wstring, std::wstring> Report(const std::wstring& command) const
    {
        const std::wstring reportFile = m_folder / L"report.txt";
        DeleteFileW(reportFile.c_str());
        std::map<std::wstring, std::wstring> report;
        report[L"exit"] = std::to_wstring(Run(command + L" \"" + reportFile + L"\""));
        for (const std::wstring& line : SplitLines(Utf16Text(ReadFileBytes(reportFile))))
        {
            size_t equals = line.find(L'=');
            if (equals != std::wstring::npos)
                report[line.substr(0, equals)] = line.substr(equals + 1);
        }
        return report;
    }

private:
    std::wstring Program() const { return m_folder / L"module_probe.exe"; }

    CScratchFolder m_folder;
    bool m_copied = false;
};
}

// These start the probe as the main program would start: with the real
// registry value, which each test puts back as it was.
class ModuleStartTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_probe.Copied()); }

    CSavedRegistryValue m_language{HKEY_LOCAL_MACHINE, kProgramKey, L"Language"};
    CModuleProbe m_probe;
};

TEST_F(ModuleStartTest, AFirstStartWarnsWritesEnglishAndTheNextStartIsSilent)
{
    m_language.Remove();
    std::map<std::wstring, std::wstring> first;
    {
        CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
        first = m_probe.Report(L"init");
        EXPECT_EQ(std::vector<std::wstring>{L"Cannot load language file."}, answerer.Texts());
    }
    ASSERT_EQ(L"0", first[L"exit"]);
    EXPECT_EQ(L"English", ReadRegistryText(HKEY_LOCAL_MACHINE, kProgramKey, L"Language"));
    EXPECT_EQ(DefaultLanguageBytes(), ReadFileBytes(m_probe.LanguagesFolder() + L"\\English.xml"));
    EXPECT_EQ(L"en", first[L"code"]);
    EXPECT_EQ(L"Begin Test", first[L"text0"]);
    EXPECT_EQ(L"Your PC is performing at %.d%% of its potential", first[L"text45"]);

    // The identifier: 35 characters with dashes at 9, 18 and 27.
    const std::wstring uid = first[L"uid"];
    ASSERT_EQ(35u, uid.size()) << Narrow(uid);
    EXPECT_EQ(L'-', uid[8]);
    EXPECT_EQ(L'-', uid[17]);
    EXPECT_EQ(L'-', uid[26]);
    EXPECT_NE(kDefaultMachineIdText, uid);

    // This test program holds the single-instance lock, so the probe does
    // not.
    EXPECT_EQ(L"0", first[L"first"]);

    CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
    std::map<std::wstring, std::wstring> next = m_probe.Report(L"init");
    EXPECT_EQ(L"0", next[L"exit"]);
    EXPECT_TRUE(answerer.Texts().empty());
    EXPECT_EQ(L"Begin Test", next[L"text0"]);
    EXPECT_EQ(uid, next[L"uid"]);
}

TEST_F(ModuleStartTest, TheSelectedLanguageIsTheOneOfTheNextStart)
{
    m_language.Set(L"English");
    WriteFileBytes(m_probe.LanguagesFolder() + L"\\English.xml", DefaultLanguageBytes());
    ASSERT_TRUE(CopyFileW((GetProgramFolder() + L"\\Languages\\German.xml").c_str(),
                          (m_probe.LanguagesFolder() + L"\\German.xml").c_str(), FALSE));
    CMessageBoxAnswerer answerer(L"Zentrix", IDOK);

    std::map<std::wstring, std::wstring> selected = m_probe.Report(L"select German");
    ASSERT_EQ(L"0", selected[L"exit"]);
    EXPECT_EQ(L"1", selected[L"selected"]);
    EXPECT_EQ(L"2", selected[L"languages"]);
    EXPECT_EQ(L"de", selected[L"code"]);
    EXPECT_EQ(L"Test starten", selected[L"text0"]);
    EXPECT_EQ(L"German", ReadRegistryText(HKEY_LOCAL_MACHINE, kProgramKey, L"Language"));

    std::map<std::wstring, std::wstring> next = m_probe.Report(L"init");
    EXPECT_EQ(L"de", next[L"code"]);
    EXPECT_EQ(L"Ihr PC arbeitet mit %.d%% seines Potenzials", next[L"text45"]);
    EXPECT_TRUE(answerer.Texts().empty());
}

TEST_F(ModuleStartTest, TheLogStartsAndEndsWithTheSingleton)
{
    const std::wstring marker = L"module probe " + std::to_wstring(GetTickCount());
    // A folder in the place of "zxq_ls" makes the tester's save at exit fail
    // and log: its line shows whether the log still exists when the tester
    // goes. The user's file is put back afterwards.
    const std::wstring lastScore = GetAppDataFolder() + L"\\zxq_ls";
    const bool hadLastScore = PathExists(lastScore);
    const std::string savedLastScore = ReadFileBytes(lastScore);
    SetFileAttributesW(lastScore.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(lastScore.c_str());
    ASSERT_TRUE(CreateDirectoryW(lastScore.c_str(), nullptr));
    const int exitCode = m_probe.Run(L"log \"" + marker + L"\"");
    RemoveDirectoryW(lastScore.c_str());
    if (hadLastScore)
        WriteFileBytes(lastScore, savedLastScore);
    ASSERT_EQ(0, exitCode);

    const std::vector<std::wstring> lines =
        SplitLines(Utf16Text(ReadFileBytes(GetAppDataFolder() + L"\\tessarin.log")));
    size_t markerLine = lines.size();
    for (size_t i = 0; i < lines.size(); ++i)
    {
        if (EndsWith(lines[i], marker))
            markerLine = i;
    }
    ASSERT_LT(markerLine, lines.size());

    // The log is the first member built: the last start-up or shutdown line
    // before the probe's own line is its start-up line, which carries the
    // version resource (and a Windows text that spans lines).
    ASSERT_GT(markerLine, 0u);
    size_t startUp = markerLine - 1;
    while (startUp > 0 && !(IsLogLineStart(lines[startUp]) && lines[startUp].find(L" Application s") != std::wstring::npos))
        --startUp;
    EXPECT_NE(std::wstring::npos, lines[startUp].find(L" Application start up... File version 1.0.0.0. WinVersion "))
        << Narrow(lines[startUp]);

    // It is the last member destroyed: the tester's line at exit still
    // reaches it, and the shutdown line comes after that.
    auto nextLineEndingWith = [&](const std::wstring& end) {
        size_t line = markerLine + 1;
        while (line < lines.size() && !EndsWith(lines[line], end))
            ++line;
        return line;
    };
    const size_t saveFailed = nextLineEndingWith(L" Error:\tCannot save last scores\t(last error = 5)");
    const size_t shutdown = nextLineEndingWith(L" Application shutdown...");
    ASSERT_LT(shutdown, lines.size());
    EXPECT_LT(saveFailed, shutdown);
}

TEST(SingleInstanceLockTest, OnlyTheFirstHolderOfTheNameHoldsIt)
{
    const std::wstring name = L"TessarinLockTest" + std::to_wstring(GetCurrentProcessId());
    {
        CSingleInstanceLock first(name);
        CSingleInstanceLock second(name);
        EXPECT_TRUE(first.IsHeld());
        EXPECT_FALSE(second.IsHeld());
    }
    EXPECT_TRUE(CSingleInstanceLock(name).IsHeld());
}

TEST(ModuleTest, TheApplicationDataFolderComesBackWhenDeleted)
{
    const std::wstring folder = g_module.GetAppDataFolder();
    ASSERT_TRUE(EndsWith(folder, L"\\Quorvane\\Zentrix"));
    DeleteTree(folder);
    ASSERT_FALSE(PathExists(folder));
    EXPECT_EQ(folder, g_module.GetAppDataFolder());
    EXPECT_TRUE(PathExists(folder));
}
