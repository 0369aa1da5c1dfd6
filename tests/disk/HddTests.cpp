#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <process.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "disk/DiskSpeedProbe.h"
#include "disk/HddTester.h"
#include "engine/XmlDocument.h"
#include "hardware/HardwareInfo.h"
#include "tests/disk/DiskTestSupport.h"

namespace
{
const double kGB = 1073741824.0;

LogicalDiskInfo Disk(double totalGB, double freeShare, double fragmentation, double rate)
{
    LogicalDiskInfo disk(L"C", static_cast<ULONGLONG>(totalGB * kGB),
                         static_cast<ULONGLONG>(totalGB * kGB * freeShare), fragmentation);
    disk.transferRate = rate;
    return disk;
}

// A run with small write trials and the Ostrel builds of the test host; the
// stand-in fails every drive but C:, so that the Linux root is not written.
HddTestSettings TestSettings()
{
    HddTestSettings settings;
    settings.ostrelResources = OstrelHost();
    settings.trialSizeMB = 4;
    return settings;
}

std::wstring AllDrivesBut(const std::wstring& kept)
{
    std::wstring letters;
    for (const std::wstring& drive : CHddTester::GetFixedDrives())
        if (drive != kept)
            letters += drive;
    return letters;
}

std::wstring ChildText(const CXmlNode& parent, const std::wstring& name)
{
    CXmlNode child;
    std::wstring text = L"<missing>";
    if (parent.GetChild(name, child))
        child.GetText(text);
    return text;
}

// Lists one fixed disk model in the inventory, as its WMI query would.
void AddDiskModel(CHardwareInfo& inventory, const wchar_t* name)
{
    VARIANT model, capabilities;
    model.vt = VT_BSTR;
    model.bstrVal = SysAllocString(name);
    capabilities.vt = VT_ARRAY | VT_I4;
    capabilities.parray = SafeArrayCreateVector(VT_I4, 0, 1);
    LONG index = 0, randomAccess = 3;
    SafeArrayPutElement(capabilities.parray, &index, &randomAccess);
    inventory.AddDiskDrive(model, capabilities);
    VariantClear(&model);
    VariantClear(&capabilities);
}

unsigned __stdcall RunTester(void* tester)
{
    static_cast<CHddTester*>(tester)->Run();
    return 0;
}
}

TEST(HddScore, ExampleDriveScoresFifteenHundredTwentyOfFourThousand)
{
    std::vector<LogicalDiskInfo> disks = {Disk(500, 0.4, 5, 80)};
    EXPECT_NEAR(40000, disks[0].GetMaxScoreTerm(), 1e-6);
    EXPECT_NEAR(15200, disks[0].GetScoreTerm(), 1e-6);
    EXPECT_NEAR(1520, CHddTester::TotalScore(disks), 1e-6);
    EXPECT_NEAR(4000, CHddTester::TotalMaxScore(disks), 1e-6);
    EXPECT_EQ(0, CHddTester::TotalScore({}));
}

TEST(HddScore, FullFragmentedOrSizelessDrivesScoreZero)
{
    EXPECT_EQ(0, Disk(500, 0, 5, 80).GetScoreTerm());
    EXPECT_EQ(0, Disk(500, 0.4, 100, 80).GetScoreTerm());
    // A failed size query must not turn the total into NaN.
    LogicalDiskInfo sizeless(L"D", 0, 0, 5);
    sizeless.transferRate = 80;
    EXPECT_EQ(0, sizeless.GetScoreTerm());
    EXPECT_NEAR(1520, CHddTester::TotalScore({Disk(500, 0.4, 5, 80), sizeless}), 1e-6);
}

TEST(HddProgress, AnalysisBasesForOneTwoAndThreeDrives)
{
    EXPECT_EQ(80u, CHddTester::AnalysisBaseAfter(0, 1));
    EXPECT_EQ(40u, CHddTester::AnalysisBaseAfter(0, 2));
    EXPECT_EQ(80u, CHddTester::AnalysisBaseAfter(1, 2));
    EXPECT_EQ(26u, CHddTester::AnalysisBaseAfter(0, 3));
    EXPECT_EQ(40u, CHddTester::AnalysisBaseAfter(1, 3));
    EXPECT_EQ(80u, CHddTester::AnalysisBaseAfter(2, 3));
    // While a drive is analysed: its share of 80 added to the base.
    EXPECT_EQ(40u, CHddTester::AnalysisProgress(0, 50, 1));
    EXPECT_EQ(60u, CHddTester::AnalysisProgress(40, 50, 2));
    EXPECT_EQ(39u, CHddTester::AnalysisProgress(26, 50, 3));
}

TEST(HddProgress, TrialStepsForOneTwoAndThreeDrives)
{
    const unsigned one[] = {2, 2, 2, 2, 3, 4, 5, 6, 10, 20};
    const unsigned two[] = {1, 1, 1, 1, 1, 2, 2, 3, 5, 10};
    const unsigned three[] = {0, 0, 0, 0, 1, 1, 1, 2, 3, 6};
    for (unsigned trial = 0; trial < 10; ++trial)
    {
        EXPECT_EQ(one[trial], CHddTester::TrialStep(1, trial)) << trial;
        EXPECT_EQ(two[trial], CHddTester::TrialStep(2, trial)) << trial;
        EXPECT_EQ(three[trial], CHddTester::TrialStep(3, trial)) << trial;
    }
}

TEST(DiskSpeedProbe, WritesFromASectorAlignedBufferAndRemovesItsFile)
{
    CAlignedBuffer buffer;
    ASSERT_NE(nullptr, buffer.Get());
    EXPECT_TRUE(buffer.IsAlignedTo(512));
    EXPECT_TRUE(buffer.IsAlignedTo(4096));
    EXPECT_FALSE(buffer.IsAlignedTo(3));

    CDiskSpeedProbe probe(L"C", 4);
    ULONGLONG microseconds = 0;
    double megabytes = 0;
    probe.Measure(microseconds, megabytes);
    EXPECT_DOUBLE_EQ(4, megabytes);
    EXPECT_GT(microseconds, 0u);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(probe.GetFileName().c_str()));
    EXPECT_EQ(0u, probe.GetFileName().find(L"C:\\bench_hhd_"));
}

class HddTesterRun : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    static void TearDownTestSuite() { CoUninitialize(); }

    CHardwareInfo m_inventory;
};

TEST_F(HddTesterRun, MeasuresEveryDriveWhoseAnalysisSucceededAndWritesItsSection)
{
    CScopedEnvironment figure(L"TESSARIN_DEFRAG_FRAGMENTATION", L"9");
    CScopedEnvironment fail(L"TESSARIN_DEFRAG_FAIL", AllDrivesBut(L"C"));
    CHddTester tester(m_inventory, TestSettings());
    tester.Run();

    ASSERT_EQ(1u, tester.GetDisks().size());
    const LogicalDiskInfo& disk = tester.GetDisks()[0];
    EXPECT_EQ(L"C", disk.literal);
    EXPECT_DOUBLE_EQ(9, disk.fragmentation);
    EXPECT_GT(disk.totalBytes, disk.freeBytes);
    EXPECT_GT(disk.transferRate, 0);
    EXPECT_GT(tester.GetScore(), 0);
    EXPECT_GT(tester.GetMaxScore(), tester.GetScore());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW((L"C:\\bench_hhd_" + std::to_wstring(GetCurrentProcessId())).c_str()));

    AddDiskModel(m_inventory, L"Stand-in Disk");
    CXmlDocument document;
    CXmlNode root, section, disks, child;
    ASSERT_TRUE(document.Create() && document.CreateElement(root, L"root") && document.AppendChild(root));
    EXPECT_TRUE(tester.Serialize(root, document));
    ASSERT_TRUE(root.GetChild(L"hdd_test", section) && section.GetFirstChild(child) && section.GetChild(L"hdds", disks));
    std::wstring names, name;
    do
    {
        child.GetName(name);
        names += name + L" ";
    } while (child.MoveToNextSibling());
    EXPECT_EQ(L"scores hdd_model hdds ", names);
    EXPECT_EQ(L"Stand-in Disk", ChildText(section, L"hdd_model"));
    std::vector<CXmlNode> listed;
    ASSERT_TRUE(disks.GetChildren(L"logical_disk", listed));
    ASSERT_EQ(1u, listed.size());
    EXPECT_EQ(L"C", ChildText(listed[0], L"literal"));
    EXPECT_EQ(L"9.000000", ChildText(listed[0], L"fragmentation_percent"));
    for (const wchar_t* figure : {L"capacity", L"free_space", L"read_write_speed"})
        EXPECT_NE(L"<missing>", ChildText(listed[0], figure));
}

TEST_F(HddTesterRun, CancelDuringAnalysisEndsTheRunWithNoDiskMeasured)
{
    CScopedEnvironment hang(L"TESSARIN_DEFRAG_MODE", L"hang");
    CHddTester tester(m_inventory, TestSettings());
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &RunTester, &tester, 0, nullptr));
    ASSERT_NE(nullptr, thread);
    for (int i = 0; i < 100 && CountProcessesNamed(L"defrag.exe") == 0; ++i)
        Sleep(100);
    EXPECT_EQ(1, CountProcessesNamed(L"defrag.exe"));
    tester.Cancel();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 20000));
    CloseHandle(thread);
    EXPECT_TRUE(tester.GetDisks().empty());
    EXPECT_EQ(0, CountProcessesNamed(L"defrag.exe"));
    EXPECT_EQ(0, CountProcessesNamed(L"Ostrel.exe"));
}
