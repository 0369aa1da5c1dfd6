#include "tests/engine/Probes.h"

#include <stdexcept>

#include "engine/Messages.h"
#include "shell/Module.h"

void CRunJournal::Add(const std::string& entry)
{
    CCriticalSectionLock lock(m_lock);
    m_entries.push_back(entry);
}

std::vector<std::string> CRunJournal::Entries() const
{
    CCriticalSectionLock lock(m_lock);
    return m_entries;
}

bool CRunJournal::Contains(const std::string& entry) const
{
    CCriticalSectionLock lock(m_lock);
    for (const std::string& candidate : m_entries)
        if (candidate == entry)
            return true;
    return false;
}

CProbeTest::CProbeTest(ProbeSettings settings, CRunJournal& journal)
    : m_settings(std::move(settings)),
      m_journal(journal),
      m_started(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_inUnit(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_gate(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

void CProbeTest::Run()
{
    m_unitsDone = 0;
    m_sawCancel = false;
    m_journal.Add(m_settings.name + " start");
    SetEvent(m_started.Get());
    const std::wstring firstLine(m_settings.name.begin(), m_settings.name.end());
    BeginRun((firstLine + L" begin").c_str(), m_settings.group);
    for (int unit = 1; unit <= m_settings.steps; ++unit)
    {
        if (CheckCancel())
        {
            m_sawCancel = true;
            m_journal.Add(m_settings.name + " cancel");
            break;
        }
        SetEvent(m_inUnit.Get());
        if (m_settings.gated)
            WaitForSingleObject(m_gate.Get(), kWaitMs);
        if (m_settings.workMs)
            Sleep(m_settings.workMs);
        if (!m_settings.failure.empty())
            throw std::runtime_error(m_settings.failure);
        ++m_unitsDone;
        NotifyProgress(unit * 100 / m_settings.steps, MAKELPARAM(0, m_settings.group));
    }
    m_journal.Add(m_settings.name + " end");
}

CMessageRecorder::CMessageRecorder()
    : m_window([this](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
          m_received.push_back({message, wParam, lParam});
          if (m_reaction)
              m_reaction(message);
          return kAnswer;
      })
{
    g_module.SetMainWindow(m_window.Handle());
}

CMessageRecorder::~CMessageRecorder()
{
    Destroy();
}

void CMessageRecorder::Destroy()
{
    if (g_module.GetMainWindow() == m_window.Handle())
        g_module.SetMainWindow(nullptr);
    m_window.Destroy();
}

size_t CMessageRecorder::Count(UINT message) const
{
    size_t count = 0;
    for (const ReceivedMessage& received : m_received)
        count += received.message == message;
    return count;
}

UINT CMessageRecorder::WaitForRunEnd(DWORD timeoutMs)
{
    UINT end = 0;
    CMessageWindow::PumpUntil(
        [&] {
            for (const ReceivedMessage& received : m_received)
                if (received.message == WM_TESTS_FINISHED || received.message == WM_TESTS_CANCELLED)
                    end = received.message;
            return end != 0;
        },
        timeoutMs);
    return end;
}
