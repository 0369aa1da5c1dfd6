#pragma once
#include <functional>
#include <memory>
#include <string>

#include "net/HardwareSource.h"

// The text given when no identifier is ready in time.
extern const wchar_t kDefaultMachineId[];

// Creates the hardware source on the worker thread (COM is initialised
// there); null when it cannot.
using HardwareSourceFactory = std::function<std::unique_ptr<IHardwareSource>()>;

// The machine's identifier, computed from WMI on a worker thread of its own.
// Waits for the worker up to tries seconds; the default text when it has no
// identifier by then. A worker still busy afterwards is left to finish on its
// own and its result is never used.
std::wstring GetMachineId(int tries);
std::wstring GetMachineId(int tries, HardwareSourceFactory factory);
