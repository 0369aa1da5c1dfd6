#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "base/ComSupport.h"
#include "engine/cpu/CpuTester.h"
#include "engine/Messages.h"
#include "hardware/HardwareInfo.h"
#include "testbed/support/MessageWindow.h"
#include "tests/engine/Probes.h"
#include "tests/engine/XmlTestSupport.h"

namespace
{
using Percents = std::vector<int>;

// A CPU test whose load samples and work units are scripted: every sample
// reads busyPercent, every unit takes unitMicroseconds for the credited
// instructions, and the masks the units were given are recorded.
class CScriptedCpuTest : public CCpuTeser
{
public:
    CScriptedCpuTest(const CHardwareInfo& inventory, int processors) : CCpuTeser(inventory, Settings(processors)) {}

    double busyPercent = 25;
    LONGLONG unitMicroseconds = 1000000;
    // The sample (counted from 1) during which the run gets cancelled.
    int cancelAtSample = 0;
    std::vector<DWORD_PTR> masks;

protected:
    double SampleBusyPercent() override
    {
        if (++m_samples == cancelAtSample)
            Cancel();
        return busyPercent;
    }

    void RunUnit(DWORD_PTR mask, LONGLONG& microseconds, LONGLONG& instructions) override
    {
        masks.push_back(mask);
        microseconds = unitMicroseconds;
        instructions = CCpuCoreTester::kCreditedInstructions;
    }

private:
    static CpuTestSettings Settings(int processors)
    {
        CpuTestSettings settings;
        settings.processorCount = processors;
        settings.samplePauseMs = 0;
        return settings;
    }

    int m_samples = 0;
};

// Records the CPU test's progress; messages from this thread arrive at once.
class CProgressLog
{
public:
    CProgressLog()
        : m_window([this](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
              if (message == WM_TEST_PROGRESS && HIWORD(lParam) == 1)
                  percents.push_back(static_cast<int>(wParam));
              else if (message == WM_TEST_PROGRESS)
                  percents.push_back(-1);
              return 0;
          })
    {
    }
    HWND Handle() const { return m_window.Handle(); }

    Percents percents;

private:
    CMessageWindow m_window;
};

unsigned __stdcall RecordProcessor(void* param)
{
    using GetNumber = DWORD(WINAPI*)();
    auto getNumber = reinterpret_cast<GetNumber>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetCurrentProcessorNumber")));
    *static_cast<DWORD*>(param) = getNumber();
    return 0;
}

unsigned __stdcall SleepAWhile(void* param)
{
    Sleep(*static_cast<DWORD*>(param));
    return 0;
}
}

TEST(CpuTestProgress, OneProcessorReportsSamplesThenUnitsThenHundred)
{
    CHardwareInfo inventory;
    CScriptedCpuTest test(inventory, 1);
    CProgressLog progress;
    test.SetNotify(progress.Handle(), WM_TEST_PROGRESS);

    test.Run();

    Percents expected = {0};
    for (int sample = 1; sample <= 30; ++sample)
        expected.push_back(sample);
    expected.insert(expected.end(), {32, 34, 36, 39, 41, 43, 46, 48, 50, 53, 55, 57, 60, 62, 64,
                                     67, 69, 71, 74, 76, 78, 81, 83, 85, 88, 90, 92, 95, 97, 99, 100});
    EXPECT_EQ(progress.percents, expected);
    EXPECT_EQ(test.masks, std::vector<DWORD_PTR>(30, 1));
}

TEST(CpuTestProgress, ThreeProcessorsShareTheSpeedPhaseInStepsOf077)
{
    CHardwareInfo inventory;
    CScriptedCpuTest test(inventory, 3);
    CProgressLog progress;
    test.SetNotify(progress.Handle(), WM_TEST_PROGRESS);

    test.Run();

    // 0, 30 samples, 90 units, 100.
    ASSERT_EQ(progress.percents.size(), 122u);
    EXPECT_EQ(Percents(progress.percents.begin() + 31, progress.percents.begin() + 36),
              (Percents{30, 31, 32, 33, 33}));
    EXPECT_EQ(progress.percents[120], 99);
    std::vector<DWORD_PTR> expected(30, 1);
    expected.insert(expected.end(), 30, 2);
    expected.insert(expected.end(), 30, 4);
    EXPECT_EQ(test.masks, expected);
}

TEST(CpuTestScore, SpeedReducedByTheLoad)
{
    CHardwareInfo inventory;
    CScriptedCpuTest test(inventory, 1);
    test.Run();
    EXPECT_EQ(test.GetMips(), 9000);
    EXPECT_EQ(test.GetCpuUsage(), 25);
    EXPECT_EQ(test.GetScore(), 6750);
    EXPECT_EQ(test.GetMaxScore(), 9000);

    // Every processor's share counts: two processors as fast double the figure.
    CScriptedCpuTest pair(inventory, 2);
    pair.busyPercent = 0;
    pair.Run();
    EXPECT_EQ(pair.GetMips(), 18000);
    EXPECT_EQ(pair.GetScore(), 18000);
}

TEST(CpuTestScore, UnitsWithoutTimeLeaveTheLastFigure)
{
    CHardwareInfo inventory;
    CScriptedCpuTest test(inventory, 1);
    test.Run();
    test.unitMicroseconds = 0;
    test.Run();
    EXPECT_EQ(test.GetMips(), 9000);
}

TEST(CpuTestCancel, CancelInTheLoadPhaseEndsBothPhases)
{
    CHardwareInfo inventory;
    CScriptedCpuTest test(inventory, 1);
    test.Run();
    test.cancelAtSample = 33; // the third sample of the second run
    CProgressLog progress;
    test.SetNotify(progress.Handle(), WM_TEST_PROGRESS);
    CLogRecorder logTail;

    test.Run();

    EXPECT_EQ(test.GetCpuUsage(), 0);
    EXPECT_EQ(test.GetMips(), 9000);
    EXPECT_EQ(test.masks.size(), 30u);
    EXPECT_EQ(progress.percents, (Percents{0, 1, 2}));
    EXPECT_EQ(logTail.Count(L"CPU TEST: cancel test\r\n"), 2);
    EXPECT_EQ(logTail.Count(L"CPU TEST: finish test\r\n"), 1);
    EXPECT_EQ(logTail.Count(L"CPU TEST: start calculating MIPS\r\n"), 1);
}

TEST(CpuTestAffinity, MaskNamesOneProcessorWithinTheMaskWidth)
{
    EXPECT_EQ(AffinityMaskForProcessor(1), DWORD_PTR(1));
    EXPECT_EQ(AffinityMaskForProcessor(3), DWORD_PTR(4));
    EXPECT_EQ(AffinityMaskForProcessor(31), DWORD_PTR(0x40000000));
    EXPECT_EQ(AffinityMaskForProcessor(32), DWORD_PTR(0x80000000u));
    EXPECT_EQ(AffinityMaskForProcessor(0), DWORD_PTR(0));
    if (sizeof(DWORD_PTR) == 8)
    {
        EXPECT_EQ(AffinityMaskForProcessor(33), DWORD_PTR(1ULL << 32));
        EXPECT_EQ(AffinityMaskForProcessor(63), DWORD_PTR(1ULL << 62));
        EXPECT_EQ(AffinityMaskForProcessor(64), DWORD_PTR(1ULL << 63));
        EXPECT_EQ(AffinityMaskForProcessor(65), DWORD_PTR(0));
    }
    else
    {
        EXPECT_EQ(AffinityMaskForProcessor(33), DWORD_PTR(0));
        EXPECT_EQ(AffinityMaskForProcessor(64), DWORD_PTR(0));
    }
}

TEST(CpuTestUnits, AUnitRunsOnTheProcessorItsMaskNames)
{
    if (!GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetCurrentProcessorNumber"))
        GTEST_SKIP() << "no processor number on this Windows";
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    for (int processor = 1; processor <= static_cast<int>(info.dwNumberOfProcessors); ++processor)
    {
        DWORD ranOn = 0xFFFF;
        LONGLONG microseconds = -1;
        ASSERT_TRUE(RunPinnedThread(AffinityMaskForProcessor(processor), &RecordProcessor, &ranOn, microseconds));
        EXPECT_EQ(ranOn, static_cast<DWORD>(processor - 1));
    }
}

TEST(CpuTestUnits, AUnitIsTimedByTheCpuTimeOfItsThread)
{
    DWORD sleepMs = 300;
    LONGLONG sleeping = -1;
    ASSERT_TRUE(RunPinnedThread(AffinityMaskForProcessor(1), &SleepAWhile, &sleepMs, sleeping));
    // Timed by the clock, the unit would take at least as long as it slept.
    EXPECT_GE(sleeping, 0);
    EXPECT_LT(sleeping, static_cast<LONGLONG>(sleepMs) * 1000) << "a sleeping thread uses next to no processor time";

    LONGLONG microseconds = 0;
    LONGLONG instructions = 0;
    CCpuCoreTester(100000000).RunOnCore(AffinityMaskForProcessor(1), microseconds, instructions);
    EXPECT_EQ(instructions, 9000000000LL);
    EXPECT_GT(microseconds, 0);
}

TEST(CpuTestUnits, ALoadSampleWithoutElapsedTimeIsNoLoad)
{
    // With no wait the system's clock often has not moved between the two
    // readings; that must not divide by zero.
    for (int sample = 0; sample < 20; ++sample)
    {
        const double busy = GetSystemBusyPercent(0);
        ASSERT_FALSE(std::isnan(busy));
        EXPECT_GE(busy, 0);
        EXPECT_LE(busy, 100);
    }
}

TEST(CpuTestEndToEnd, ShortRunOnThisMachine)
{
    CHardwareInfo inventory;
    CpuTestSettings settings;
    settings.loadSamples = 2;
    settings.sampleWindowMs = 50;
    settings.samplePauseMs = 0;
    // Long enough for the thread times, which Wine counts in 10 ms ticks.
    settings.loopLength = 25000000;
    CCpuTeser test(inventory, settings);
    CLogRecorder logTail;

    test.Run();

    EXPECT_GT(test.GetMips(), 0);
    EXPECT_GE(test.GetCpuUsage(), 0);
    EXPECT_LE(test.GetCpuUsage(), 100);
    EXPECT_LE(test.GetScore(), test.GetMaxScore());
    for (int processor = 1; processor <= settings.processorCount; ++processor)
    {
        EXPECT_EQ(logTail.Count(L"CPU TEST: begin testing " + std::to_wstring(processor) + L" core\r\n"), 1);
        EXPECT_EQ(logTail.Count(L"CPU TEST: end testing " + std::to_wstring(processor) + L" core\r\n"), 1);
    }
    EXPECT_EQ(logTail.Count(L"CPU TEST: average CPU consumed is "), 1);
    EXPECT_EQ(logTail.Count(L"CPU TEST: MIPS = "), 1);
}

class CpuTestSection : public XmlTestBase
{
};

TEST_F(CpuTestSection, ScoresThenProcessorNamesThenFigures)
{
    CHardwareInfo inventory;
    inventory.AddProcessor(CVariant(L"Opteron 2218").Get());
    inventory.AddProcessor(CVariant(L"Opteron 2218").Get());
    CScriptedCpuTest test(inventory, 1);
    test.Run();

    CXmlDocument document;
    ASSERT_TRUE(document.Create());
    CXmlNode root;
    ASSERT_TRUE(document.CreateElement(root, L"tessarin"));
    ASSERT_TRUE(test.Serialize(root, document));

    CXmlNode section;
    ASSERT_TRUE(root.GetChild(L"cpu_test", section));
    std::vector<std::pair<std::wstring, std::wstring>> children;
    CXmlNode child;
    ASSERT_TRUE(section.GetFirstChild(child));
    do
        children.emplace_back(NameOf(child), TextOf(child));
    while (child.MoveToNextSibling());
    EXPECT_EQ(children, (std::vector<std::pair<std::wstring, std::wstring>>{{L"scores", L"6750.000000"},
                                                                           {L"cpu_model", L"Opteron 2218"},
                                                                           {L"cpu_model", L"Opteron 2218"},
                                                                           {L"cpu_mips", L"9000.000000"},
                                                                           {L"cpu_usage", L"25.000000"}}));
}
