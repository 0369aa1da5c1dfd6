#include "redirect/SuspendedProcess.h"

#include <tlhelp32.h>

namespace
{
// A thread that was running when the first threads were suspended may have
// started another one; a few passes find them all.
const int kMaxPasses = 4;
}

CSuspendedProcess::CSuspendedProcess(DWORD processId)
{
    int pass = 0;
    while (pass < kMaxPasses && SuspendNewThreads(processId))
        ++pass;
    if (m_threads.empty() || pass == kMaxPasses)
        m_held = false;
}

CSuspendedProcess::~CSuspendedProcess()
{
    for (const CScopedHandle& thread : m_threads)
        ResumeThread(thread.Get());
}

bool CSuspendedProcess::SuspendNewThreads(DWORD processId)
{
    CScopedHandle snapshot = AdoptFileHandle(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot)
    {
        m_held = false;
        return false;
    }
    bool found = false;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry))
    {
        if (entry.th32OwnerProcessID != processId || m_threadIds.count(entry.th32ThreadID))
            continue;
        m_threadIds.insert(entry.th32ThreadID);
        found = true;
        CScopedHandle thread(OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, entry.th32ThreadID));
        if (!thread || SuspendThread(thread.Get()) == static_cast<DWORD>(-1))
        {
            m_held = false;
            continue;
        }
        // SuspendThread only asks; reading the context waits until the
        // thread has actually stopped.
        CONTEXT context = {};
        context.ContextFlags = CONTEXT_CONTROL;
        GetThreadContext(thread.Get(), &context);
        m_threads.push_back(std::move(thread));
    }
    return found;
}
