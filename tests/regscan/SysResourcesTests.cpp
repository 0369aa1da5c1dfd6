#include <windows.h>
#include <process.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ScopedHandle.h"
#include "regscan/CleanerLog.h"
#include "regscan/RegistryScaner.h"
#include "regscan/ScanTypes.h"
#include "regscan/SysResourcesTest.h"
#include "base/Folders.h"
#include "base/StringFormat.h"
#include "testbed/support/MessageWindow.h"
#include "testbed/support/LogRecorder.h"
#include "tests/engine/XmlTestSupport.h"
#include "tests/regscan/PlantedEntries.h"
#include "tests/shell/ShellTestSupport.h"

using namespace RegistryKelvadorLib;

namespace
{
const std::wstring kRepaired = L"Invalid Entry Found: a\r\nSuccessfully Fixed: a\r\n";
const std::wstring kNotRepaired = L"Successfully Fixed: a\r\nInvalid Entry Found: b\r\n";

TEST(CleanerLogRanking, NewestByNameTheFirstOfEqualRank)
{
    struct Case
    {
        std::vector<std::wstring> names;
        size_t newest;
    };
    const Case cases[] = {
        // Both rank 201222: 2012 * 100 + 1 * 10 + 12 and 2012 * 100 + 2 * 10 + 2.
        {{L"log_1-12-2012.log", L"log_2-2-2012.log"}, 0},
        {{L"log_2-2-2012.log", L"log_1-12-2012.log"}, 0},
        {{L"log_1-12-2012.log", L"log_5-5-2012.log"}, 1},
        {{L"log_9-9-2011.log", L"log_1-1-2012.log"}, 1},
        {{L"log_x-y-z.log", L"log_1-1-1.log"}, 1},
        {{L"log_1-1-1.log", L"log_x-y-z.log"}, 0},
        // Ranks beyond what an int holds.
        {{L"log_1-1-2147483647.log", L"log_1-1-2012.log"}, 0},
        {{}, 0},
    };
    for (const Case& test : cases)
        EXPECT_EQ(NewestCleanerLog(test.names), test.newest) << Narrow(test.names.empty() ? L"" : test.names[0]);
}

TEST(CleanerLogText, TheRepairMustComeLast)
{
    EXPECT_TRUE(EndsWithRepair(kRepaired));
    EXPECT_FALSE(EndsWithRepair(kNotRepaired));
    EXPECT_TRUE(EndsWithRepair(L"x Successfully Fixed"));
    // A phrase that does not occur stands at 0, as does one at the start.
    EXPECT_FALSE(EndsWithRepair(L"Successfully Fixed"));
    EXPECT_FALSE(EndsWithRepair(L""));
    EXPECT_FALSE(EndsWithRepair(L"x successfully fixed"));
}

TEST(CleanerLogFiles, BadLogsAreReadWithinTheirBounds)
{
    struct Case
    {
        const char* what;
        std::wstring name;
        std::string bytes;
        bool repaired;
    };
    const std::string repaired = Utf16Bytes(kRepaired);
    const Case cases[] = {
        {"sound", L"log_1-1-2012.log", repaired + std::string(2, '\0'), true},
        {"no NUL", L"log_1-1-2012.log", repaired, true},
        {"odd length", L"log_1-1-2012.log", repaired + "S", true},
        {"text after a NUL", L"log_1-1-2012.log", Utf16Bytes(L"Invalid Entry Found") + std::string(2, '\0') +
                                                       Utf16Bytes(L" Successfully Fixed"), false},
        {"empty", L"log_1-1-2012.log", "", false},
        {"not UTF-16", L"log_1-1-2012.log", "Invalid Entry Found\r\nSuccessfully Fixed\r\n", false},
        {"unranked name", L"log_x-y-z.log", repaired, true},
        {"50 MB", L"log_1-1-2012.log", std::string(50 << 20, ' ') + repaired, true},
    };
    for (const Case& test : cases)
    {
        CScratchFolder folder;
        WriteFileBytes(folder / test.name, test.bytes);
        EXPECT_EQ(CleanerLogsShowRepair(folder.Path() + L"\\"), test.repaired) << test.what;
    }
    CScratchFolder empty;
    EXPECT_FALSE(CleanerLogsShowRepair(empty.Path() + L"\\"));
}

TEST(ScanPhasePercent, ElevenScansWouldFillThirtyToNinetyNine)
{
    EXPECT_EQ(ScanPhasePercent(0, 0), 30);
    EXPECT_EQ(ScanPhasePercent(200, 50), 45);
    EXPECT_EQ(ScanPhasePercent(1000, 0), 92);
    EXPECT_EQ(ScanPhasePercent(1100, 0), 99);
}

// A system test whose process samples follow a script (repeated), and which
// gets cancelled during one of them (counted from 1; 0: never).
class CScriptedSysTest : public CSysResoucesConsumed
{
public:
    using CSysResoucesConsumed::CSysResoucesConsumed;

    std::vector<int> processScript;
    int cancelAtSample = 0;

protected:
    int CountRunningProcesses() override
    {
        ++m_samples;
        if (m_samples == cancelAtSample)
            Cancel();
        return processScript.empty() ? CSysResoucesConsumed::CountRunningProcesses()
                                     : processScript[(m_samples - 1) % processScript.size()];
    }

private:
    int m_samples = 0;
};

struct Progress
{
    std::vector<int> sent;
    std::vector<int> posted;
    bool allOfGroup5 = true;
};

// What one run of the system test told the program log and the window.
struct RunRecord
{
    std::wstring log;
    Progress progress;
    std::vector<size_t> counts;
};

unsigned __stdcall RunTest(void* test)
{
    static_cast<CSysResoucesConsumed*>(test)->Run();
    return 0;
}

// Runs the test on a worker, as the pool does, while this thread plays the
// main window, which is told of each posted progress.
// onPosted sees the lines logged so far.
// onSent sees each percent sent, while the test waits for the answer.
RunRecord RunRecorded(CSysResoucesConsumed& test,
                      const std::function<void(const CLogRecorder& log)>& onPosted = nullptr,
                      const std::function<void(int percent)>& onSent = nullptr)
{
    RunRecord record;
    CLogRecorder recorder;
    CMessageWindow window([&record, &onPosted, &onSent, &recorder](UINT, WPARAM percent, LPARAM lParam) {
        (InSendMessage() ? record.progress.sent : record.progress.posted).push_back(static_cast<int>(percent));
        if (!InSendMessage() && onPosted)
            onPosted(recorder);
        if (InSendMessage() && onSent)
            onSent(static_cast<int>(percent));
        record.progress.allOfGroup5 = record.progress.allOfGroup5 && HIWORD(lParam) == 5;
        return 0;
    });
    test.SetNotify(window.Handle(), WM_USER + 1);
    CScopedHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &RunTest, &test, 0, nullptr)));
    EXPECT_TRUE(CMessageWindow::WaitPumping(thread.Get(), 300000));
    // The last posted messages.
    CMessageWindow::PumpUntil([] { return false; }, 200);
    record.log = recorder.NewText();
    for (int type = ScanTypeFirst; type <= ScanTypeLast; ++type)
        record.counts.push_back(test.GetErrors().GetCount(type));
    return record;
}

bool Logged(const RunRecord& record, const std::wstring& line)
{
    return record.log.find(line + L"\r\n") != std::wstring::npos;
}

std::wstring SummaryLine(const std::vector<size_t>& counts)
{
    size_t total = 0;
    for (size_t count : counts)
        total += count;
    auto count = [&counts](int type) { return static_cast<int>(counts[type]); };
    return FormatText(L"SYS TEST: Registry errors = %d. Com = %d, Uninstall = %d, Fonts = %d, SharedDll = %d, "
                      L"Startup = %d, FileRef = %d, Shortcuts = %d, Help = %d, AppPath = %d, FileAssoc = %d",
                      static_cast<int>(total), count(0), count(1), count(2), count(3), count(6), count(7), count(8),
                      count(5), count(4), count(10));
}

// A log of the registry cleaner in its own folder, removed again.
class CCleanerLog
{
public:
    explicit CCleanerLog(const std::wstring& text) : m_folder(CleanerLogFolder())
    {
        CreateFolderPath(m_folder);
        m_path = m_folder + L"log_1-1-2099.log";
        WriteFileBytes(m_path, Utf16Bytes(text));
    }
    ~CCleanerLog() { DeleteFileW(m_path.c_str()); }

private:
    std::wstring m_folder;
    std::wstring m_path;
};

class SystemTestRun : public XmlTestBase
{
protected:
    void SetUp() override
    {
        scanner.SetLog(logFolder.Path(), L"RegScaner.log");
        ASSERT_TRUE(document.Create());
        ASSERT_TRUE(document.CreateElement(root, L"tessarin"));
        ASSERT_TRUE(document.AppendChild(root));
    }

    // The section as name=text items.
    std::vector<std::wstring> Section(CSysResoucesConsumed& test)
    {
        std::vector<std::wstring> items;
        EXPECT_TRUE(test.Serialize(root, document));
        CXmlNode section, child;
        if (!root.GetChild(L"sys_perfomance", section) || !section.GetFirstChild(child))
            return items;
        do
            items.push_back(NameOf(child) + L"=" + TextOf(child));
        while (child.MoveToNextSibling());
        return items;
    }

    // A run on the prefix as it is, for the others to compare with.
    static const RunRecord& Baseline()
    {
        static RunRecord baseline = [] {
            CScratchFolder folder;
            CRegistryScaner scanner;
            scanner.SetLog(folder.Path(), L"RegScaner.log");
            CSysResoucesConsumed test(&scanner);
            return RunRecorded(test);
        }();
        return baseline;
    }

    CScratchFolder logFolder;
    CRegistryScaner scanner;
    CXmlDocument document;
    CXmlNode root;
};
}

TEST_F(SystemTestRun, StepsInOrderWithTheirProgressAndSection)
{
    CSysResoucesConsumed test(&scanner);
    const RunRecord record = RunRecorded(test);

    EXPECT_EQ(record.progress.sent, (std::vector<int>{0, 20, 26, 30, 100}));
    ASSERT_FALSE(record.progress.posted.empty());
    EXPECT_EQ(record.progress.posted.back(), 92);
    for (int percent : record.progress.posted)
        EXPECT_TRUE(percent >= 30 && percent <= 92) << percent;
    EXPECT_TRUE(record.progress.allOfGroup5);

    const std::wstring summary = SummaryLine(record.counts);
    size_t at = 0;
    for (const wchar_t* line :
         {L"SYS TEST: begin test", L"SYS TEST: Scanning total registry entries number...", L"SYS TEST: Total registry",
          L"SYS TEST: count of runing processes is", L"SYS TEST: count of startup programs is",
          L"SYS TEST: os disk fill percennt is", L"SYS TEST: Scan com errors.", L"SYS TEST: Scan Uninstall errors.",
          L"SYS TEST: Scan Font errors.", L"SYS TEST: Scan SharedDlls errors.", L"SYS TEST: Scan Startup errors.",
          L"SYS TEST: Scan FilePathReference errors.", L"SYS TEST: Scan ProgramShortcuts errors.",
          L"SYS TEST: Scan HelpFiles errors.", L"SYS TEST: Scan AppPaths errors.",
          L"SYS TEST: Scan FileAssociations errors.", summary.c_str(), L"SYS TEST: end test"})
    {
        size_t found = record.log.find(line, at);
        ASSERT_NE(found, std::wstring::npos) << Narrow(line);
        at = found;
    }
    EXPECT_EQ(record.log.find(L"cancel"), std::wstring::npos);

    EXPECT_GT(test.GetTotalRegistryEntries(), 1000);
    EXPECT_GT(test.GetAvgRunningProcesses(), 0u);
    EXPECT_GT(test.GetOsDiskFill(), 0);
    EXPECT_EQ(test.GetScore(), static_cast<double>(test.GetErrors().GetTotalCount()));
    EXPECT_EQ(Section(test),
              (std::vector<std::wstring>{
                  FormatText(L"avr_running_process=%u", test.GetAvgRunningProcesses()),
                  FormatText(L"startup_programs=%d", test.GetStartupPrograms()),
                  FormatText(L"os_disk_fill=%f", test.GetOsDiskFill()),
                  FormatText(L"reg_errors=%u", static_cast<unsigned>(test.GetErrors().GetTotalCount()))}));
}

TEST_F(SystemTestRun, ARepairedComputerReportsNoErrorsButLogsThem)
{
    const RunRecord& baseline = Baseline();
    const std::wstring runKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    CPlantedValue startup(HKEY_LOCAL_MACHINE, runKey, L"TessarinSysTest", logFolder / L"gone.exe");
    CPlantedValue font(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                       L"Tessarin SysTest", L"");
    CCleanerLog cleanerLog(kRepaired);
    CSysResoucesConsumed test(&scanner);
    const RunRecord record = RunRecorded(test);

    std::vector<size_t> expected = baseline.counts;
    ++expected[ScanTypeWinStartup];
    ++expected[ScanTypeFonts];
    EXPECT_EQ(record.counts, expected);
    EXPECT_TRUE(Logged(record, SummaryLine(expected)));
    EXPECT_TRUE(Logged(record, L"SYS TEST: Indusses fixed this computer"));
    EXPECT_TRUE(test.GetIssuesFixed());
    EXPECT_EQ(test.GetScore(), 0);
    const std::vector<std::wstring> section = Section(test);
    ASSERT_EQ(section.size(), 4u);
    EXPECT_EQ(section[1], FormatText(L"startup_programs=%d", test.GetStartupPrograms()));
    EXPECT_EQ(section[3], L"reg_errors=0");
}

TEST_F(SystemTestRun, CancelDuringSamplingKeepsTheSamplesAndRunsNoScan)
{
    CScriptedSysTest test(&scanner);
    // Samples that could not be taken (0) are left out of the average.
    test.processScript = {11, 0, 13};
    test.cancelAtSample = 5;
    CCleanerLog cleanerLog(kNotRepaired);
    const RunRecord record = RunRecorded(test);

    EXPECT_EQ(test.GetAvgRunningProcesses(), 10u);
    EXPECT_FALSE(test.GetIssuesFixed());
    EXPECT_TRUE(Logged(record, L"SYS TEST: cancel test"));
    // Counting startup programs stops at its first check.
    EXPECT_EQ(test.GetStartupPrograms(), 0);
    // No scan is started once the test is cancelled; the steps after the
    // scans still run.
    EXPECT_EQ(record.log.find(L"SYS TEST: Scan "), std::wstring::npos);
    EXPECT_EQ(record.counts, std::vector<size_t>(record.counts.size(), 0));
    EXPECT_TRUE(Logged(record, SummaryLine(record.counts)));
    EXPECT_TRUE(Logged(record, L"SYS TEST: end test"));
    // Nothing is sent or posted once the test is cancelled.
    EXPECT_EQ(record.progress.sent, (std::vector<int>{0, 20, 26}));
    EXPECT_TRUE(record.progress.posted.empty());
    EXPECT_EQ(Section(test)[3], L"reg_errors=0");
}

TEST_F(SystemTestRun, CancelBeforeTheRegistryCountEndsItAtTheFirstKey)
{
    CSysResoucesConsumed test(&scanner);
    const RunRecord record = RunRecorded(test, nullptr, [&](int percent) {
        if (percent == 0)
            test.Cancel();
    });

    // Only the values right under the two roots were counted.
    auto rootValues = [](HKEY root) {
        DWORD values = 0;
        RegQueryInfoKeyW(root, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
        return static_cast<int>(values);
    };
    EXPECT_EQ(test.GetTotalRegistryEntries(), rootValues(HKEY_LOCAL_MACHINE) + rootValues(HKEY_CURRENT_USER));
    EXPECT_EQ(record.progress.sent, (std::vector<int>{0}));
}

TEST_F(SystemTestRun, CancelDuringAScanStartsNoFurtherScan)
{
    CSysResoucesConsumed test(&scanner);
    // Cancelled at the first progress of the scans, as a Stop would.
    size_t scansAtCancel = 0;
    bool cancelled = false;
    auto scansLogged = [](const std::wstring& log) {
        size_t scans = 0;
        for (size_t at = log.find(L"SYS TEST: Scan "); at != std::wstring::npos; at = log.find(L"SYS TEST: Scan ", at + 1))
            ++scans;
        return scans;
    };
    const RunRecord record = RunRecorded(test, [&](const CLogRecorder& log) {
        if (cancelled)
            return;
        cancelled = true;
        test.Cancel();
        scansAtCancel = scansLogged(log.NewText());
    });

    ASSERT_TRUE(cancelled);
    // The scan that was starting when the cancel came may have logged its
    // line after it; none after that one.
    const size_t scans = scansLogged(record.log);
    EXPECT_GE(scans, 1u);
    EXPECT_LE(scans, scansAtCancel + 1);
    EXPECT_LT(scans, 10u);
    EXPECT_TRUE(Logged(record, SummaryLine(record.counts)));
    EXPECT_TRUE(Logged(record, L"SYS TEST: end test"));
}
