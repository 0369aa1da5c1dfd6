#include <gtest/gtest.h>

#include <process.h>

#include "engine/Messages.h"
#include "engine/ProgressNotify.h"
#include "tests/engine/Probes.h"

TEST(ProgressNotify, ReachesTheWindowOnlyWhileItExists)
{
    CMessageRecorder window;
    CProgressNotify notify;
    EXPECT_EQ(notify.Send(10, 0), 0) << "no window yet";

    notify.Init(window.Handle(), WM_TEST_PROGRESS);
    EXPECT_EQ(notify.Send(40, MAKELPARAM(0, 3)), CMessageRecorder::kAnswer);
    ASSERT_EQ(window.Received().size(), 1u);
    EXPECT_EQ(window.Received()[0].message, WM_TEST_PROGRESS);
    EXPECT_EQ(window.Received()[0].wParam, 40u);
    EXPECT_EQ(HIWORD(window.Received()[0].lParam), 3);

    EXPECT_TRUE(notify.Post(60, 0));
    EXPECT_TRUE(CMessageWindow::PumpUntil([&] { return window.Received().size() == 2; }, kWaitMs));

    window.Destroy();
    EXPECT_EQ(notify.Send(80, 0), 0);
    EXPECT_FALSE(notify.Post(80, 0));
}

class TesterImplTest : public ::testing::Test
{
protected:
    CRunJournal journal;
    CProbeTest probe{ProbeSettings{"probe"}, journal};
};

TEST_F(TesterImplTest, CancelFlagIsSetByCancelKeptByRunAndClearedByReset)
{
    EXPECT_FALSE(probe.CheckCancel()) << "no pause event: no wait";
    probe.Cancel();
    EXPECT_TRUE(probe.CheckCancel());
    probe.Run(); // a test cancelled before its run ends at once
    EXPECT_TRUE(probe.SawCancel());
    probe.ResetCancel();
    EXPECT_FALSE(probe.CheckCancel());
}

TEST_F(TesterImplTest, CancelledTestSendsNoProgress)
{
    CMessageRecorder window;
    probe.SetNotify(window.Handle(), WM_TEST_PROGRESS);
    EXPECT_EQ(probe.NotifyProgress(50, 0), CMessageRecorder::kAnswer);

    probe.Cancel();
    EXPECT_EQ(probe.NotifyProgress(60, 0), 0);
    EXPECT_EQ(window.Count(WM_TEST_PROGRESS), 1u);
}

namespace
{
struct CancelCheck
{
    CProbeTest* probe;
    bool cancelled;
};

unsigned __stdcall CheckCancelOnThread(void* param)
{
    auto* check = static_cast<CancelCheck*>(param);
    check->cancelled = check->probe->CheckCancel();
    return 0;
}
}

TEST_F(TesterImplTest, CheckCancelWaitsWhilePaused)
{
    CScopedHandle pauseEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    probe.SetPauseEvent(pauseEvent.Get());
    probe.Cancel();

    CancelCheck check = {&probe, false};
    CScopedHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CheckCancelOnThread, &check, 0, nullptr)));
    ASSERT_TRUE(thread);

    EXPECT_EQ(WaitForSingleObject(thread.Get(), 100), static_cast<DWORD>(WAIT_TIMEOUT)) << "paused: must block";
    SetEvent(pauseEvent.Get());
    ASSERT_EQ(WaitForSingleObject(thread.Get(), kWaitMs), WAIT_OBJECT_0);
    EXPECT_TRUE(check.cancelled);
}
