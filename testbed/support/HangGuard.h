#pragma once
#include <windows.h>
#include <process.h>
#include <cstdio>

#include "base/ScopedHandle.h"

// Ends the test program with a message when a step that must return does
// not return in time, so that a deadlock or a message box nobody answers
// fails the run instead of hanging it. Lives for the duration of the step.
class CHangGuard
{
public:
    static constexpr UINT kExitCode = 99;

    CHangGuard(const char* step, DWORD timeoutMs)
        : m_step(step), m_timeoutMs(timeoutMs), m_done(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CHangGuard::Watch, this, 0, nullptr)));
    }
    ~CHangGuard()
    {
        SetEvent(m_done.Get());
        if (m_thread)
            WaitForSingleObject(m_thread.Get(), INFINITE);
    }
    CHangGuard(const CHangGuard&) = delete;
    CHangGuard& operator=(const CHangGuard&) = delete;

private:
    static unsigned __stdcall Watch(void* param)
    {
        auto* self = static_cast<CHangGuard*>(param);
        if (WaitForSingleObject(self->m_done.Get(), self->m_timeoutMs) == WAIT_TIMEOUT)
        {
            std::fprintf(stderr, "FAILED: %s did not return within %lu ms\n", self->m_step,
                         static_cast<unsigned long>(self->m_timeoutMs));
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), kExitCode);
        }
        return 0;
    }

    const char* m_step;
    DWORD m_timeoutMs;
    CScopedHandle m_done;
    CScopedHandle m_thread;
};
