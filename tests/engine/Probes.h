#pragma once
#include <windows.h>
#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/CriticalSection.h"
#include "base/ScopedHandle.h"
#include "engine/TesterImpl.h"
#include "testbed/support/MessageWindow.h"
#include "testbed/support/LogRecorder.h"

// Generous bound for anything a test waits for; a fault fails, never hangs.
const DWORD kWaitMs = 5000;

// What happened in which order, across threads ("A start", "A end", ...).
class CRunJournal
{
public:
    void Add(const std::string& entry);
    std::vector<std::string> Entries() const;
    bool Contains(const std::string& entry) const;

private:
    mutable CCriticalSection m_lock;
    std::vector<std::string> m_entries;
};

struct ProbeSettings
{
    ProbeSettings(std::string name, int steps = 1, WORD group = 1, bool gated = false, DWORD workMs = 0,
                  std::string failure = std::string())
        : name(std::move(name)), steps(steps), group(group), gated(gated), workMs(workMs), failure(std::move(failure))
    {
    }

    std::string name;
    int steps;
    WORD group;
    // Each unit waits until OpenGate (bounded by kWaitMs).
    bool gated;
    // Each unit takes this long.
    DWORD workMs;
    // Thrown from the first unit when not empty.
    std::string failure;
};

// A test that runs a number of units the way the real tests do: check for
// pause and cancel, do the unit, report progress.
class CProbeTest : public CTesterImpl<CProbeTest>
{
public:
    CProbeTest(ProbeSettings settings, CRunJournal& journal);

    using CTesterImpl::CheckCancel;
    using CTesterImpl::NotifyProgress;

    void Run() override;
    double GetScore() override { return m_score; }
    double GetMaxScore() override { return m_maxScore; }
    bool Serialize(CXmlNode&, CXmlDocument&) override { return false; }

    // Set when Run has been entered (manual reset, never cleared).
    HANDLE Started() const { return m_started.Get(); }
    // Set when the first unit has begun.
    HANDLE InUnit() const { return m_inUnit.Get(); }
    void OpenGate() { SetEvent(m_gate.Get()); }

    bool Ran() const { return WaitForSingleObject(m_started.Get(), 0) == WAIT_OBJECT_0; }
    int UnitsDone() const { return m_unitsDone; }
    bool SawCancel() const { return m_sawCancel; }

private:
    ProbeSettings m_settings;
    CRunJournal& m_journal;
    CScopedHandle m_started;
    CScopedHandle m_inUnit;
    CScopedHandle m_gate;
    std::atomic<int> m_unitsDone{0};
    std::atomic<bool> m_sawCancel{false};
};

struct ReceivedMessage
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A stand-in for the main window: records what it receives and answers
// every message with kAnswer. Registers itself with the module as the main
// window while it exists.
class CMessageRecorder
{
public:
    static constexpr LRESULT kAnswer = 7;

    CMessageRecorder();
    ~CMessageRecorder();

    HWND Handle() const { return m_window.Handle(); }
    void Destroy();

    const std::vector<ReceivedMessage>& Received() const { return m_received; }
    size_t Count(UINT message) const;
    void Clear() { m_received.clear(); }
    // Called with each message after it was recorded, inside the handler,
    // while its sender still waits.
    void OnMessage(std::function<void(UINT message)> reaction) { m_reaction = std::move(reaction); }

    // Pumps until the run reports its end; returns WM_TESTS_FINISHED,
    // WM_TESTS_CANCELLED, or 0 on time-out.
    UINT WaitForRunEnd(DWORD timeoutMs = kWaitMs);

private:
    std::vector<ReceivedMessage> m_received;
    std::function<void(UINT message)> m_reaction;
    CMessageWindow m_window;
};
