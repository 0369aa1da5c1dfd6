#pragma once
#include <windows.h>
#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

#include "engine/ITester.h"
#include "base/ScopedHandle.h"
#include "engine/ThreadFunc.h"
#include "engine/ThreadPool.h"
#include "hardware/HardwareInfo.h"
#include "regscan/RegistryScaner.h"

// The run controller: owns the tests, runs them on a pool of worker threads
// from a run thread of its own, and pauses, resumes and stops them. The
// completion message (WM_TESTS_FINISHED or WM_TESTS_CANCELLED) goes to the
// completion window its owner names.
//
// Everything but RunTests is called on the UI thread. Tests send progress
// and the run sends its completion with SendMessageW, so the UI thread must
// keep pumping messages while a run is under way.
class CTester : public CThreadFunc<CTester>
{
public:
    // The program's tester: one worker per logical processor.
    CTester();
    // A tester for test beds: CreateTests registers none of the scored
    // tests, the run has only those given to RegisterTest.
    explicit CTester(unsigned workerCount);
    ~CTester() override;

    // Registers the scored tests and hands the pause event to every test
    // and to the hardware info. Called once, before the first run.
    void CreateTests();
    // Appends a test to the run order; the tester owns it. Not during a run.
    void RegisterTest(std::unique_ptr<ITester> test);
    // Replaces the hardware inventory in the run, the pause, the stop and
    // the result with a stand-in (test beds). Not during a run.
    void SetHardwareInfo(std::unique_ptr<ITester> hardwareInfo);

    // Progress target of every registered test.
    void SetNotify(HWND window, UINT message);
    // Receives the completion message of every run; null sends nothing.
    void SetCompletionWindow(HWND window) { m_completionWindow = window; }

    // Starts a run on a new thread. False, with nothing started, while the
    // previous run thread is alive (also while it waits in its completion
    // message, so a start from that handler or queued behind it is refused
    // rather than joining a thread that waits for this one); false, after
    // sending WM_TESTS_CANCELLED, when the run cannot be started.
    bool StartTests();
    void Suspend();
    void Resume();
    // Cancels the run and returns at once; the run thread reports
    // WM_TESTS_CANCELLED when the running tests have returned. Tests not yet
    // taken up by a worker do not run.
    void StopTests();
    // For the handler of the completion message: answers it, so that the
    // run thread goes on to its end, and waits until it is there. Afterwards
    // IsRunning is false, so the window that shows the run's end shows it
    // for a run that is over.
    void AwaitRunEnd();
    // Resumes and joins the run thread. Call only after the main window is
    // gone: a run that is still going waits for it to handle its messages.
    void Shutdown();

    // The body of the run thread.
    unsigned RunTests();

    // The hardware info's section first, then each test's, in run order.
    void Serialize(CXmlNode& parent, CXmlDocument& document);

    // True while the run thread is alive: from StartTests until the thread
    // has returned, which is after the completion message was handled.
    bool IsRunning() const { return IsThreadAlive(); }
    bool IsPaused() const { return m_paused; }
    size_t GetTestCount() const { return m_tests.size(); }
    // The inventory runs first, on the run thread, with no progress target
    // and no score.
    CHardwareInfo& GetHardwareInfo() { return m_hardwareInfo; }
    // Lent to the system test; it pauses, resumes and stops with the run.
    RegistryKelvadorLib::CRegistryScaner& GetRegistryScaner() { return m_registryScaner; }
    int GetTotalScore() const { return m_totalScore; }
    int GetTotalMaxScore() const { return m_maxScore; }

    // Scoring, on the UI thread once a run has ended. The sums of the tests'
    // scores and maxima, rounded half up; CalcTotalScore also recomputes the
    // maximum.
    int CalcTotalScore();
    int CalcMaxScore();
    // Total as a percentage of the maximum; 0 while either is 0.
    double GetPercentage() const;

    // The last total score ("zxq_ls") and percentage ("zxq_lp") in the
    // application data folder. A file that is missing or shorter than its
    // value, or holds a negative total or a percentage that is no number
    // from 0 to 100, is logged and leaves the total as it is, or reads as 0.
    // SaveLastScore writes only a total that this process loaded or
    // computed: a process that never got that far (a one-shot command, a
    // second instance) leaves the stored score alone.
    void SaveLastScore() const;
    void LoadLastScore();
    void SaveLastPercentage() const;
    double LoadLastPercentage() const;

private:
    void ScheduleTest(ITester& test);
    // Runs a test; an exception escaping it is logged and ends only that test.
    static void RunGuarded(ITester& test);
    void ReportEnd(UINT message) const;
    // The hardware info, or the stand-in that replaces it.
    ITester& Inventory();

    std::vector<std::unique_ptr<ITester>> m_tests;
    CThreadPool m_pool;
    std::atomic<bool> m_paused{false};
    // Manual reset, signalled: signalled means run, reset means paused.
    CScopedHandle m_pauseEvent;
    DWORD m_pauseEventError = 0;
    CHardwareInfo m_hardwareInfo;
    std::unique_ptr<ITester> m_inventoryStandIn;
    RegistryKelvadorLib::CRegistryScaner m_registryScaner;
    bool m_createsScoredTests = false;
    int m_totalScore = 0;
    int m_maxScore = 0;
    // The total came from "zxq_ls" or from CalcTotalScore.
    bool m_totalScoreKnown = false;
    HWND m_completionWindow = nullptr;
    // Set by the run thread as it sends its completion message.
    std::atomic<bool> m_endReported{false};
};
