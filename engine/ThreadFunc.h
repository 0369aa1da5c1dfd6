#pragma once
#include <windows.h>
#include <process.h>
#include <atomic>

#include "base/ComSupport.h"
#include "base/ScopedHandle.h"

// Gives Owner one thread of its own at a time, running Owner::RunTests
// with COM initialised (single-threaded apartment). Owner derives publicly
// from CThreadFunc<Owner> and must Stop the thread in its own destructor:
// the body uses Owner's members, which are gone by the time this base dies.
template <class Owner>
class CThreadFunc
{
public:
    CThreadFunc() = default;
    virtual ~CThreadFunc() = default;
    CThreadFunc(const CThreadFunc&) = delete;
    CThreadFunc& operator=(const CThreadFunc&) = delete;

    // Joins a thread still held, then starts a new one. False when the
    // thread cannot be created (GetLastError tells why).
    bool Start()
    {
        if (m_thread)
            Stop();
        m_stop = false;
        m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CThreadFunc::ThreadProc, this, 0, nullptr)));
        return static_cast<bool>(m_thread);
    }

    // Sets the stop flag and waits for the thread without time limit.
    void Stop()
    {
        RequestStop();
        Join();
    }

    // Waits for the thread without time limit and closes its handle; the
    // stop flag stays as it is.
    void Join()
    {
        if (m_thread)
        {
            WaitForSingleObject(m_thread.Get(), INFINITE);
            m_thread.Reset();
        }
    }

    bool IsStopped() const { return m_stop; }

protected:
    // Sets the stop flag without waiting; the body looks at it when it ends.
    void RequestStop() { m_stop = true; }

    // True while a started thread has not yet returned.
    bool IsThreadAlive() const
    {
        return m_thread && WaitForSingleObject(m_thread.Get(), 0) == WAIT_TIMEOUT;
    }

private:
    static unsigned __stdcall ThreadProc(void* param)
    {
        CComApartment apartment;
        return static_cast<Owner*>(static_cast<CThreadFunc*>(param))->RunTests();
    }

    CScopedHandle m_thread;
    std::atomic<bool> m_stop{false};
};
