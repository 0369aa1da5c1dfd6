#pragma once
#include <windows.h>
#include <string>
#include <vector>

// The emulated machine the stand-in port-I/O driver starts with; the values
// are those of standin_driver/Machine.h.
struct StandInMachine
{
    // A chipset's name ("piix4", "pch", ...; MachineNames).
    std::wstring machine = L"none";
    // The module in each slot, slot 0 first; missing slots are empty.
    std::vector<BYTE> slots;
    DWORD faults = 0;
};

// Installs the test bed's stand-in driver as the kernel service "zxq" with
// the absolute image path given (Wine loads no relative one), writes the
// machine into the service's "Parameters" key (none: the driver's own
// default machine), and starts it, stopping a running one first. Returns
// once the device answers. False with a description when a step fails.
bool StartStandInDriver(const std::wstring& imagePath, const StandInMachine* machine, std::wstring& error);

// What the running driver counted since it started: bytes write
// transactions stored into the emulated modules' EEPROMs, writes that
// reached hardware outside the usable SMBus host's registers (or the host
// while its firmware held it), and the firmware's own transactions that
// ended as it expected. False when it says nothing.
struct StandInCounts
{
    DWORD eepromWrites = 0;
    DWORD foreignWrites = 0;
    DWORD firmwareTransactions = 0;
};
bool ReadStandInCounts(StandInCounts& counts);

// Stops and deletes the service; true when it is gone or never was.
bool RemoveStandInDriver(std::wstring& error);
