#pragma once
#include <windows.h>
#include <atomic>

#include "engine/ITester.h"
#include "engine/ProgressNotify.h"

// The part every test shares: progress target, cancel flag, pause event and
// the score caches. Each test derives from its own instance,
// class CSomeTest : public CTesterImpl<CSomeTest>, and at the start of Run
// calls ResetCancel and clears both caches.
template <class T>
class CTesterImpl : public ITester
{
public:
    void SetNotify(HWND window, UINT message) override { m_notify.Init(window, message); }
    void Cancel() override { m_cancel = true; }
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

    void ResetCancel() { m_cancel = false; }

    CProgressNotify m_notify;
    std::atomic<bool> m_cancel{false};
    HANDLE m_pauseEvent = nullptr;
    // 0 means not computed yet.
    double m_score = 0;
    double m_maxScore = 0;
};
