#include "engine/ThreadPool.h"

#include <climits>
#include <process.h>

CThreadPool::CThreadPool(unsigned workerCount)
    : m_taskCount(CreateSemaphoreW(nullptr, 0, LONG_MAX, nullptr)),
      m_queueEmpty(CreateEventW(nullptr, TRUE, TRUE, nullptr)),
      m_idle(CreateEventW(nullptr, TRUE, TRUE, nullptr))
{
    if (!m_taskCount || !m_queueEmpty || !m_idle)
        return;
    for (unsigned i = 0; i < workerCount; ++i)
    {
        CScopedHandle worker(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CThreadPool::WorkerProc, this, 0, nullptr)));
        if (!worker)
            break;
        m_workers.push_back(std::move(worker));
    }
}

CThreadPool::~CThreadPool()
{
    {
        CCriticalSectionLock lock(m_lock);
        m_shuttingDown = true;
    }
    if (m_workers.empty())
        return;
    ReleaseSemaphore(m_taskCount.Get(), static_cast<LONG>(m_workers.size()), nullptr);
    for (const CScopedHandle& worker : m_workers)
        WaitForSingleObject(worker.Get(), INFINITE);
}

void CThreadPool::Schedule(std::function<void()> task)
{
    if (m_workers.empty())
    {
        task();
        return;
    }
    {
        CCriticalSectionLock lock(m_lock);
        m_queue.push_back(std::move(task));
        ResetEvent(m_queueEmpty.Get());
        ResetEvent(m_idle.Get());
    }
    ReleaseSemaphore(m_taskCount.Get(), 1, nullptr);
}

size_t CThreadPool::GetActiveCount() const
{
    CCriticalSectionLock lock(m_lock);
    return m_active;
}

size_t CThreadPool::DropQueued()
{
    std::deque<std::function<void()>> dropped;
    {
        CCriticalSectionLock lock(m_lock);
        dropped.swap(m_queue);
        if (!m_workers.empty())
        {
            SetEvent(m_queueEmpty.Get());
            if (m_active == 0)
                SetEvent(m_idle.Get());
        }
    }
    // The dropped tasks are destroyed here, outside the lock.
    return dropped.size();
}

bool CThreadPool::WaitQueueEmpty(DWORD timeoutMs) const
{
    return WaitFor(m_queueEmpty, timeoutMs);
}

bool CThreadPool::WaitIdle(DWORD timeoutMs) const
{
    return WaitFor(m_idle, timeoutMs);
}

bool CThreadPool::WaitFor(const CScopedHandle& event, DWORD timeoutMs) const
{
    // Without workers every task has already run on its caller.
    if (m_workers.empty())
        return true;
    return WaitForSingleObject(event.Get(), timeoutMs) == WAIT_OBJECT_0;
}

unsigned __stdcall CThreadPool::WorkerProc(void* param)
{
    static_cast<CThreadPool*>(param)->WorkerLoop();
    return 0;
}

void CThreadPool::WorkerLoop()
{
    for (;;)
    {
        WaitForSingleObject(m_taskCount.Get(), INFINITE);
        std::function<void()> task;
        {
            CCriticalSectionLock lock(m_lock);
            if (m_queue.empty())
            {
                if (m_shuttingDown)
                    return;
                continue;
            }
            task = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_active;
            if (m_queue.empty())
                SetEvent(m_queueEmpty.Get());
        }
        task();
        // Release what the task holds before anyone is told the pool is idle.
        task = nullptr;
        CCriticalSectionLock lock(m_lock);
        if (--m_active == 0 && m_queue.empty())
            SetEvent(m_idle.Get());
    }
}
