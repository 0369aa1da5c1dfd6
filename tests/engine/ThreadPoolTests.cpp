#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "engine/ThreadPool.h"
#include "tests/engine/Probes.h"

namespace
{
CScopedHandle ManualEvent()
{
    return CScopedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

// A task that reports it has started and then waits for the gate.
std::function<void()> GatedTask(HANDLE started, HANDLE gate)
{
    return [started, gate] {
        SetEvent(started);
        WaitForSingleObject(gate, kWaitMs);
    };
}
}

TEST(ThreadPool, OneWorkerRunsTasksFirstInFirstOut)
{
    std::vector<int> order;
    CThreadPool pool(1);
    for (int i = 0; i < 5; ++i)
        pool.Schedule([&order, i] { order.push_back(i); });

    ASSERT_TRUE(pool.WaitIdle(kWaitMs));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(ThreadPool, CountsActiveTasksAndDropsOnlyQueuedOnes)
{
    CScopedHandle firstStarted = ManualEvent(), secondStarted = ManualEvent(), gate = ManualEvent();
    std::atomic<int> queuedRuns{0};
    CThreadPool pool(2);
    pool.Schedule(GatedTask(firstStarted.Get(), gate.Get()));
    pool.Schedule(GatedTask(secondStarted.Get(), gate.Get()));
    pool.Schedule([&queuedRuns] { ++queuedRuns; });
    pool.Schedule([&queuedRuns] { ++queuedRuns; });
    ASSERT_EQ(WaitForSingleObject(firstStarted.Get(), kWaitMs), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(secondStarted.Get(), kWaitMs), WAIT_OBJECT_0);

    EXPECT_EQ(pool.GetActiveCount(), 2u);
    EXPECT_FALSE(pool.WaitQueueEmpty(0));
    EXPECT_FALSE(pool.WaitIdle(0));

    EXPECT_EQ(pool.DropQueued(), 2u);
    EXPECT_TRUE(pool.WaitQueueEmpty(0));
    EXPECT_FALSE(pool.WaitIdle(0)) << "the running tasks still count";

    SetEvent(gate.Get());
    ASSERT_TRUE(pool.WaitIdle(kWaitMs));
    EXPECT_EQ(pool.GetActiveCount(), 0u);
    EXPECT_EQ(queuedRuns, 0);

    // The workers go on taking new tasks after a drop.
    pool.Schedule([&queuedRuns] { ++queuedRuns; });
    ASSERT_TRUE(pool.WaitIdle(kWaitMs));
    EXPECT_EQ(queuedRuns, 1);
}

TEST(ThreadPool, QueueIsEmptyOnceAWorkerHoldsTheTask)
{
    CScopedHandle started = ManualEvent(), gate = ManualEvent();
    CThreadPool pool(1);
    pool.Schedule(GatedTask(started.Get(), gate.Get()));

    EXPECT_TRUE(pool.WaitQueueEmpty(kWaitMs));
    EXPECT_FALSE(pool.WaitIdle(0));
    SetEvent(gate.Get());
    EXPECT_TRUE(pool.WaitIdle(kWaitMs));
}

TEST(ThreadPool, DestructionFinishesQueuedAndRunningTasks)
{
    std::atomic<int> runs{0};
    {
        CThreadPool pool(1);
        for (int i = 0; i < 3; ++i)
            pool.Schedule([&runs] {
                Sleep(10);
                ++runs;
            });
    }
    EXPECT_EQ(runs, 3);
}

TEST(ThreadPool, WithoutWorkersTasksRunOnTheCaller)
{
    DWORD taskThread = 0;
    CThreadPool pool(0);
    pool.Schedule([&taskThread] { taskThread = GetCurrentThreadId(); });

    EXPECT_EQ(taskThread, GetCurrentThreadId());
    EXPECT_TRUE(pool.WaitIdle(0));
    EXPECT_TRUE(pool.WaitQueueEmpty(0));
}
