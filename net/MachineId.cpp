#include "net/MachineId.h"

#include <process.h>

#include "base/ComSupport.h"
#include "base/CriticalSection.h"
#include "net/HardwareId.h"
#include "net/HardwareIdWorker.h"
#include "net/WmiSource.h"

const wchar_t kDefaultMachineId[] = L"11111111-11111111-11111111-11111111";

namespace
{
const DWORD kTryMs = 1000;
const DWORD kStopWaitMs = 1000;

std::unique_ptr<IHardwareSource> ConnectToWmi()
{
    auto source = std::make_unique<CWmiSource>();
    if (!source->Connect())
        return nullptr;
    return source;
}
}

struct CHardwareIdWorker::State
{
    explicit State(HardwareSourceFactory sourceFactory) : factory(std::move(sourceFactory)) {}

    void Release()
    {
        if (InterlockedDecrement(&references) == 0)
            delete this;
    }

    HardwareSourceFactory factory;
    CCriticalSection lock;
    bool ready = false;
    Md5Digest id{};
    // Set by the thread once ready is final (manual reset).
    CScopedHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    // One for the worker object, one for the thread.
    LONG references = 2;
};

bool CHardwareIdWorker::Start(HardwareSourceFactory factory)
{
    if (InterlockedCompareExchange(&m_active, 1, 0) != 0)
        return true;
    m_state = new State(std::move(factory));
    m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CHardwareIdWorker::Run, m_state, 0, nullptr)));
    if (!m_thread)
    {
        // The thread's reference goes with the thread that never ran.
        m_state->Release();
        return false;
    }
    return true;
}

bool CHardwareIdWorker::WaitUntilDone(DWORD timeoutMs)
{
    return m_state && m_thread && m_state->done && WaitForSingleObject(m_state->done.Get(), timeoutMs) == WAIT_OBJECT_0;
}

bool CHardwareIdWorker::TryGet(Md5Digest& id)
{
    if (!m_state)
        return false;
    CCriticalSectionLock lock(m_state->lock);
    if (!m_state->ready)
        return false;
    id = m_state->id;
    return true;
}

void CHardwareIdWorker::Stop()
{
    if (InterlockedExchange(&m_active, 0) == 0)
        return;
    if (m_thread)
        WaitForSingleObject(m_thread.Get(), kStopWaitMs);
    m_thread.Reset();
    m_state->Release();
    m_state = nullptr;
}

unsigned __stdcall CHardwareIdWorker::Run(void* param)
{
    State* state = static_cast<State*>(param);
    {
        CComApartment apartment;
        // The source holds COM objects: declared after the apartment, it
        // goes first.
        std::unique_ptr<IHardwareSource> source = state->factory();
        Md5Digest id;
        if (source && ComputeHardwareId(*source, id))
        {
            CCriticalSectionLock lock(state->lock);
            state->id = id;
            state->ready = true;
        }
        if (state->done)
            SetEvent(state->done.Get());
    }
    state->Release();
    return 0;
}

std::wstring GetMachineId(int tries)
{
    return CMachineIdComputation().Wait(tries);
}

std::wstring GetMachineId(int tries, HardwareSourceFactory factory)
{
    return CMachineIdComputation(std::move(factory)).Wait(tries);
}

CMachineIdComputation::CMachineIdComputation() : CMachineIdComputation(&ConnectToWmi)
{
}

CMachineIdComputation::CMachineIdComputation(HardwareSourceFactory factory)
{
    m_worker.Start(std::move(factory));
}

std::wstring CMachineIdComputation::Wait(int tries)
{
    std::wstring text = kDefaultMachineId;
    // The same bound as tries one-second looks, but the wait ends as soon as
    // the worker does: a start need not sit out a second for an identifier
    // ready in a tenth of one.
    Md5Digest id;
    if (tries > 0 && m_worker.WaitUntilDone(static_cast<DWORD>(tries) * kTryMs) && m_worker.TryGet(id))
        text = FormatMachineId(id);
    m_worker.Stop();
    return text;
}
