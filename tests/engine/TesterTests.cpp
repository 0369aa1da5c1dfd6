#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/Messages.h"
#include "engine/suite/Tester.h"
#include "testbed/support/HangGuard.h"
#include "tests/engine/Probes.h"

namespace
{
using Entries = std::vector<std::string>;
using Progress = std::vector<std::pair<int, int>>; // group, percent
}

// Each case drives its own CTester with probe tests and a quiet stand-in for
// the hardware inventory; the recorder stands in for the main window and is
// destroyed before the tester.
class TesterRun : public ::testing::Test
{
protected:
    TesterRun() { UseWorkers(2); }

    void UseWorkers(unsigned count)
    {
        tester = std::make_unique<CTester>(count);
        tester->SetHardwareInfo(std::make_unique<CProbeTest>(ProbeSettings("inventory"), inventoryJournal));
    }

    CProbeTest& AddTest(ProbeSettings settings)
    {
        auto probe = std::make_unique<CProbeTest>(std::move(settings), journal);
        CProbeTest& added = *probe;
        tester->RegisterTest(std::move(probe));
        return added;
    }

    CProbeTest& SetHardwareInfo(ProbeSettings settings)
    {
        auto probe = std::make_unique<CProbeTest>(std::move(settings), journal);
        CProbeTest& added = *probe;
        tester->SetHardwareInfo(std::move(probe));
        return added;
    }

    // What the program does before its first run.
    void Prepare()
    {
        tester->CreateTests();
        tester->SetNotify(window.Handle(), WM_TEST_PROGRESS);
        tester->SetCompletionWindow(window.Handle());
    }

    bool WaitPumping(HANDLE handle) { return CMessageWindow::WaitPumping(handle, kWaitMs); }
    // The run thread lives on for a moment after its completion message.
    bool WaitForRunThreadEnd()
    {
        return CMessageWindow::PumpUntil([&] { return !tester->IsRunning(); }, kWaitMs);
    }

    Progress ReceivedProgress() const
    {
        Progress progress;
        for (const ReceivedMessage& received : window.Received())
            if (received.message == WM_TEST_PROGRESS)
                progress.emplace_back(HIWORD(received.lParam), static_cast<int>(received.wParam));
        return progress;
    }

    CRunJournal journal;
    CRunJournal inventoryJournal;
    std::unique_ptr<CTester> tester;
    CMessageRecorder window;
};

TEST_F(TesterRun, WithoutTestsTheRunFinishes)
{
    Prepare();
    ASSERT_TRUE(tester->StartTests());
    EXPECT_EQ(window.WaitForRunEnd(), WM_TESTS_FINISHED);
    EXPECT_EQ(window.Count(WM_TEST_PROGRESS), 0u);
    EXPECT_TRUE(WaitForRunThreadEnd());
}

TEST_F(TesterRun, HardwareInfoRunsFirstThenTheTestsInRegistrationOrder)
{
    UseWorkers(1);
    SetHardwareInfo({"H", 2, 9, false, 20});
    AddTest({"A", 2, 1});
    AddTest({"B", 2, 2});
    AddTest({"C", 2, 3});
    Prepare();

    ASSERT_TRUE(tester->StartTests());
    ASSERT_EQ(window.WaitForRunEnd(), WM_TESTS_FINISHED);
    EXPECT_EQ(journal.Entries(), (Entries{"H start", "H end", "A start", "A end", "B start", "B end", "C start", "C end"}));
    // The hardware info has no progress target.
    EXPECT_EQ(ReceivedProgress(),
              (Progress{{1, 0}, {1, 50}, {1, 100}, {2, 0}, {2, 50}, {2, 100}, {3, 0}, {3, 50}, {3, 100}}));
}

TEST_F(TesterRun, PauseHoldsProgressUntilResume)
{
    CProbeTest& test = AddTest({"A", 2, 1, true});
    Prepare();
    ASSERT_TRUE(tester->StartTests());
    ASSERT_TRUE(WaitPumping(test.InUnit()));
    window.Clear();

    tester->Suspend();
    EXPECT_TRUE(tester->IsPaused());
    test.OpenGate();
    // The unit under way completes; its progress waits for Resume.
    ASSERT_TRUE(CMessageWindow::PumpUntil([&] { return test.UnitsDone() == 1; }, kWaitMs));
    CMessageWindow::PumpUntil([] { return false; }, 100);
    EXPECT_EQ(window.Count(WM_TEST_PROGRESS), 0u);
    EXPECT_EQ(test.UnitsDone(), 1);

    tester->Resume();
    EXPECT_FALSE(tester->IsPaused());
    ASSERT_EQ(window.WaitForRunEnd(), WM_TESTS_FINISHED);
    EXPECT_EQ(ReceivedProgress(), (Progress{{1, 50}, {1, 100}}));
}

TEST_F(TesterRun, StopWhilePausedWakesTheTestsAndTheNextRunFinishes)
{
    CProbeTest& first = AddTest({"A", 3, 1, true});
    CProbeTest& second = AddTest({"B", 3, 2, true});
    Prepare();
    ASSERT_TRUE(tester->StartTests());
    ASSERT_TRUE(WaitPumping(first.InUnit()));
    ASSERT_TRUE(WaitPumping(second.InUnit()));
    window.Clear();
    tester->Suspend();
    first.OpenGate();
    second.OpenGate();
    ASSERT_TRUE(CMessageWindow::PumpUntil([&] { return first.UnitsDone() == 1 && second.UnitsDone() == 1; }, kWaitMs));

    tester->StopTests();
    EXPECT_FALSE(tester->IsPaused());
    ASSERT_EQ(window.WaitForRunEnd(), WM_TESTS_CANCELLED);
    EXPECT_EQ(window.Count(WM_TESTS_FINISHED), 0u);
    EXPECT_EQ(window.Count(WM_TEST_PROGRESS), 0u);
    EXPECT_TRUE(first.SawCancel());
    EXPECT_TRUE(second.SawCancel());
    EXPECT_EQ(first.UnitsDone() + second.UnitsDone(), 2);

    window.Clear();
    ASSERT_TRUE(WaitForRunThreadEnd());
    ASSERT_TRUE(tester->StartTests());
    ASSERT_EQ(window.WaitForRunEnd(), WM_TESTS_FINISHED);
    EXPECT_EQ(first.UnitsDone(), 3);
    EXPECT_EQ(second.UnitsDone(), 3);
    EXPECT_EQ(window.Count(WM_TEST_PROGRESS), 8u);
}

TEST_F(TesterRun, StopLeavesTestsNotYetTakenUpUnrun)
{
    CProbeTest& first = AddTest({"A", 2, 1, true});
    CProbeTest& second = AddTest({"B", 2, 2, true});
    CProbeTest& third = AddTest({"C"});
    CProbeTest& fourth = AddTest({"D"});
    Prepare();
    ASSERT_TRUE(tester->StartTests());
    ASSERT_TRUE(WaitPumping(first.InUnit()));
    ASSERT_TRUE(WaitPumping(second.InUnit()));
    window.Clear();

    tester->StopTests();
    first.OpenGate();
    second.OpenGate();
    ASSERT_EQ(window.WaitForRunEnd(), WM_TESTS_CANCELLED);
    EXPECT_FALSE(third.Ran());
    EXPECT_FALSE(fourth.Ran());
    EXPECT_TRUE(journal.Contains("A end"));
    EXPECT_TRUE(journal.Contains("B end"));
    EXPECT_EQ(window.Count(WM_TEST_PROGRESS), 0u) << "cancelled tests send no progress";
}

namespace
{
// Holds the thread that logs a line containing the given text until
// released, as a slow log-file write would.
class CLogHold : public CLogRecorder
{
public:
    explicit CLogHold(std::wstring text)
        : m_text(std::move(text)),
          m_reached(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_release(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
    }

    void Write(const std::wstring& line) override
    {
        CLogRecorder::Write(line);
        if (line.find(m_text) == std::wstring::npos)
            return;
        SetEvent(m_reached.Get());
        WaitForSingleObject(m_release.Get(), kWaitMs);
    }

    HANDLE Reached() const { return m_reached.Get(); }
    void Release() { SetEvent(m_release.Get()); }

private:
    std::wstring m_text;
    CScopedHandle m_reached;
    CScopedHandle m_release;
};
}

TEST_F(TesterRun, StopThatLandsAsATestWritesItsFirstLineEndsItAndShutdownResumesOnce)
{
    CProbeTest& test = AddTest({"A", 3, 1});
    Prepare();
    CLogHold log(L"A begin");
    ASSERT_TRUE(tester->StartTests());
    ASSERT_TRUE(WaitPumping(log.Reached()));

    tester->StopTests();
    log.Release();
    ASSERT_EQ(window.WaitForRunEnd(), WM_TESTS_CANCELLED);
    EXPECT_TRUE(test.SawCancel());
    EXPECT_EQ(test.UnitsDone(), 0);

    // As the program ends: the window's close stops the run, then the tester
    // is shut down.
    tester->Shutdown();
    EXPECT_EQ(log.Count(L"Resume test"), 1);
}

TEST_F(TesterRun, StopDuringTheHardwareInfoRunsNoTest)
{
    CProbeTest& inventory = SetHardwareInfo({"H", 2, 9, true});
    CProbeTest& first = AddTest({"A"});
    CProbeTest& second = AddTest({"B"});
    Prepare();
    ASSERT_TRUE(tester->StartTests());
    ASSERT_TRUE(WaitPumping(inventory.InUnit()));

    tester->StopTests();
    inventory.OpenGate();
    ASSERT_EQ(window.WaitForRunEnd(), WM_TESTS_CANCELLED);
    EXPECT_TRUE(inventory.SawCancel());
    EXPECT_FALSE(first.Ran());
    EXPECT_FALSE(second.Ran());
}

TEST_F(TesterRun, ExceptionsAreLoggedAndTheRunFinishes)
{
    const std::string marker = std::to_string(GetTickCount());
    SetHardwareInfo({"H", 1, 9, false, 0, "inventory failure " + marker});
    AddTest({"A", 1, 1, false, 0, "probe failure " + marker});
    CProbeTest& healthy = AddTest({"B", 2, 2});
    Prepare();
    CLogRecorder logTail;

    ASSERT_TRUE(tester->StartTests());
    ASSERT_EQ(window.WaitForRunEnd(), WM_TESTS_FINISHED);
    EXPECT_EQ(healthy.UnitsDone(), 2);

    const std::wstring log = logTail.NewText();
    const std::wstring wideMarker(marker.begin(), marker.end());
    for (const wchar_t* what : {L"inventory failure ", L"probe failure "})
    {
        std::wstring line = L"Error:\ttest failed with an exception: " + (what + wideMarker) + L"\t(last error = ";
        EXPECT_NE(log.find(line), std::wstring::npos) << "missing in the log: " << std::string(line.begin(), line.end());
    }
}

TEST_F(TesterRun, StartIsRefusedWhileARunIsUnderWay)
{
    CProbeTest& test = AddTest({"A", 1, 1, true});
    Prepare();
    ASSERT_TRUE(tester->StartTests());
    ASSERT_TRUE(WaitPumping(test.Started()));

    EXPECT_FALSE(tester->StartTests());
    EXPECT_TRUE(tester->IsRunning());
    test.OpenGate();
    ASSERT_EQ(window.WaitForRunEnd(), WM_TESTS_FINISHED);
    EXPECT_EQ(journal.Entries(), (Entries{"A start", "A end"}));
}

// A start that reaches the window while the run thread waits in its
// completion message (a queued click, Enter, the tray) must be refused:
// joining that thread from the window's thread would wait forever.
TEST_F(TesterRun, StartFromTheCompletionHandlerIsRefusedAtOnce)
{
    Prepare();
    bool runningInHandler = false;
    bool startedInHandler = true;
    window.OnMessage([&](UINT message) {
        if (message != WM_TESTS_FINISHED)
            return;
        CHangGuard guard("StartTests inside the completion message", kWaitMs);
        runningInHandler = tester->IsRunning();
        startedInHandler = tester->StartTests();
    });
    ASSERT_TRUE(tester->StartTests());
    ASSERT_EQ(window.WaitForRunEnd(), WM_TESTS_FINISHED);
    EXPECT_TRUE(runningInHandler);
    EXPECT_FALSE(startedInHandler);
    ASSERT_TRUE(WaitForRunThreadEnd());
    EXPECT_EQ(inventoryJournal.Entries(), (Entries{"inventory start", "inventory end"})) << "no second run";
}

// A pause that reaches the tester after the run (a tray menu that was open
// while the run ended) or in its last moments must not hold the next run.
TEST_F(TesterRun, LatePauseDoesNotHoldTheNextRun)
{
    enum When
    {
        kAfterTheRun,
        kInTheCompletionHandler
    };
    struct Case
    {
        const char* name;
        When when;
    };
    const Case cases[] = {{"after the run", kAfterTheRun}, {"in the completion handler", kInTheCompletionHandler}};
    for (const Case& test : cases)
    {
        UseWorkers(2);
        window.Clear();
        AddTest({"A", 2, 1});
        Prepare();
        window.OnMessage([&](UINT message) {
            if (message == WM_TESTS_FINISHED && test.when == kInTheCompletionHandler)
                tester->Suspend();
        });
        ASSERT_TRUE(tester->StartTests()) << test.name;
        ASSERT_EQ(window.WaitForRunEnd(), WM_TESTS_FINISHED) << test.name;
        ASSERT_TRUE(WaitForRunThreadEnd()) << test.name;
        if (test.when == kAfterTheRun)
        {
            tester->Suspend();
            EXPECT_FALSE(tester->IsPaused()) << test.name;
        }

        window.OnMessage([](UINT) {});
        window.Clear();
        ASSERT_TRUE(tester->StartTests()) << test.name;
        EXPECT_FALSE(tester->IsPaused()) << test.name;
        EXPECT_EQ(window.WaitForRunEnd(), WM_TESTS_FINISHED) << test.name << ": the next run is held";
        EXPECT_EQ(window.Count(WM_TEST_PROGRESS), 3u) << test.name;
        tester->StopTests();
        ASSERT_TRUE(WaitForRunThreadEnd()) << test.name;
    }
}

TEST_F(TesterRun, DestroyingTheTesterStopsARunUnderWay)
{
    CProbeTest& test = AddTest({"A", 500, 1, false, 10});
    Prepare();
    ASSERT_TRUE(tester->StartTests());
    ASSERT_TRUE(WaitPumping(test.InUnit()));

    // As at program exit: the window is gone before the tester.
    window.Destroy();
    tester.reset();
    EXPECT_TRUE(journal.Contains("A end")) << "the test must have returned before it was deleted";
    EXPECT_TRUE(journal.Contains("A cancel")) << "the run must be cancelled, not waited out";
}
