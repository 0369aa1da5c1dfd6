#pragma once
#include <windows.h>
#include <set>
#include <vector>

#include "base/ScopedHandle.h"

// Holds every thread of a process suspended while the object lives, and
// resumes them when it goes. IsHeld tells whether all of them could be
// held; a thread that could not be opened keeps running.
class CSuspendedProcess
{
public:
    explicit CSuspendedProcess(DWORD processId);
    ~CSuspendedProcess();
    CSuspendedProcess(const CSuspendedProcess&) = delete;
    CSuspendedProcess& operator=(const CSuspendedProcess&) = delete;

    bool IsHeld() const { return m_held; }

private:
    // Suspends the threads not yet held; false when there were none.
    bool SuspendNewThreads(DWORD processId);

    std::vector<CScopedHandle> m_threads;
    std::set<DWORD> m_threadIds;
    bool m_held = true;
};
