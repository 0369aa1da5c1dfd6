#pragma once
#include <windows.h>

#include "base/ScopedHandle.h"
#include "net/HardwareSource.h"
#include "net/Md5.h"

// Computes the hardware identifier on a thread of its own, in its own COM
// apartment, so that the caller can bound its wait. Each started thread
// writes into a state of its own, shared with this object by reference
// count: a thread abandoned by Stop finishes into a state nobody reads any
// more, never into the state of a later start.
class CHardwareIdWorker
{
public:
    CHardwareIdWorker() = default;
    ~CHardwareIdWorker() { Stop(); }
    CHardwareIdWorker(const CHardwareIdWorker&) = delete;
    CHardwareIdWorker& operator=(const CHardwareIdWorker&) = delete;

    // Starts a worker; does nothing while one is active. False when the
    // thread cannot be created.
    bool Start(HardwareSourceFactory factory);
    // Waits until the worker has finished, with or without an identifier:
    // true once it has, false after timeoutMs (or when none was started).
    bool WaitUntilDone(DWORD timeoutMs);
    // The identifier once the worker has it.
    bool TryGet(Md5Digest& id);
    // Waits up to a second for the worker to end, then lets it go.
    void Stop();

private:
    struct State;
    static unsigned __stdcall Run(void* param);

    LONG m_active = 0;
    State* m_state = nullptr;
    CScopedHandle m_thread;
};
