#pragma once
#include <functional>
#include <memory>
#include <string>

#include "net/HardwareIdWorker.h"
#include "net/HardwareSource.h"

// The text given when no identifier is ready in time.
extern const wchar_t kDefaultMachineId[];

// The machine's identifier, computed from WMI on a worker thread of its own.
// Waits for the worker up to tries seconds; the default text when it has no
// identifier by then. A worker still busy afterwards is left to finish on its
// own and its result is never used.
std::wstring GetMachineId(int tries);
std::wstring GetMachineId(int tries, HardwareSourceFactory factory);

// The same, started at construction so that other start-up work can run
// while WMI answers; Wait gives what GetMachineId would.
class CMachineIdComputation
{
public:
    CMachineIdComputation();
    explicit CMachineIdComputation(HardwareSourceFactory factory);
    CMachineIdComputation(const CMachineIdComputation&) = delete;
    CMachineIdComputation& operator=(const CMachineIdComputation&) = delete;

    std::wstring Wait(int tries);

private:
    CHardwareIdWorker m_worker;
};
