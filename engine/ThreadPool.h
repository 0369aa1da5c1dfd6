#pragma once
#include <windows.h>
#include <cstddef>
#include <deque>
#include <functional>
#include <vector>

#include "base/CriticalSection.h"
#include "base/ScopedHandle.h"

// A fixed number of worker threads that take tasks first in, first out.
// Tasks must not throw. When no worker thread can be created, Schedule
// runs each task on the calling thread instead.
class CThreadPool
{
public:
    explicit CThreadPool(unsigned workerCount);
    // Lets the workers finish every queued and running task, then joins them.
    ~CThreadPool();
    CThreadPool(const CThreadPool&) = delete;
    CThreadPool& operator=(const CThreadPool&) = delete;

    void Schedule(std::function<void()> task);
    // Tasks being executed right now.
    size_t GetActiveCount() const;
    // Removes the tasks no worker has taken up yet; returns how many.
    size_t DropQueued();
    // Until every queued task has been taken up by a worker or dropped.
    // False on time-out.
    bool WaitQueueEmpty(DWORD timeoutMs = INFINITE) const;
    // Until no task is queued or running. False on time-out.
    bool WaitIdle(DWORD timeoutMs = INFINITE) const;

private:
    static unsigned __stdcall WorkerProc(void* param);
    void WorkerLoop();
    bool WaitFor(const CScopedHandle& event, DWORD timeoutMs) const;

    mutable CCriticalSection m_lock;
    std::deque<std::function<void()>> m_queue;
    size_t m_active = 0;
    bool m_shuttingDown = false;
    // Counts queued tasks, plus one wake-up per worker at shutdown. Dropped
    // tasks leave their counts behind; a worker that finds the queue empty
    // simply waits again.
    CScopedHandle m_taskCount;
    // Manual-reset events, changed only under m_lock.
    CScopedHandle m_queueEmpty;
    CScopedHandle m_idle;
    std::vector<CScopedHandle> m_workers;
};
