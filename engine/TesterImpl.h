#pragma once
#include <windows.h>
#include <atomic>

#include "base/Log.h"
#include "engine/ITester.h"
#include "engine/ProgressNotify.h"

// The part every test shares: progress target, cancel flag, pause event and
// the score caches. Each test derives from its own instance,
// class CSomeTest : public CTesterImpl<CSomeTest>, and opens its Run with
// BeginRun.
template <class T>
class CTesterImpl : public ITester
{
public:
    void SetNotify(HWND window, UINT message) override { m_notify.Init(window, message); }
    void Cancel() override { m_cancel = true; }
    void ResetCancel() override { m_cancel = false; }
    void SetPauseEvent(HANDLE event) override { m_pauseEvent = event; }

protected:
    // Blocks while the run is paused, then tells whether the test was
    // cancelled. Called before every step of a test's measuring loops.
    bool CheckCancel() const
    {
        if (m_pauseEvent)
            WaitForSingleObject(m_pauseEvent, INFINITE);
        return m_cancel;
    }

    // Sends nothing and returns 0 once the test is cancelled.
    LRESULT NotifyProgress(WPARAM percent, LPARAM lParam)
    {
        if (CheckCancel())
            return 0;
        return m_notify.Send(percent, lParam);
    }

    // The opening of every test's Run: logs the test's first line, clears
    // both caches, and reports 0 % for the test's group. The cancel flag is
    // left as the controller set it: a test stopped before it began ends at
    // its first check.
    void BeginRun(const wchar_t* firstLine, WORD group)
    {
        Log(firstLine);
        m_score = 0;
        m_maxScore = 0;
        NotifyProgress(0, MAKELPARAM(0, group));
    }

    CProgressNotify m_notify;
    std::atomic<bool> m_cancel{false};
    HANDLE m_pauseEvent = nullptr;
    // 0 means not computed yet.
    double m_score = 0;
    double m_maxScore = 0;
};
