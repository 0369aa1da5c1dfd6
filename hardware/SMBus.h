#pragma once
#include <windows.h>

// The SMBus host controller's I/O base as one owner (a memory-test run)
// sees it: the PCI bus is searched on the first request only, so a
// machine without a controller costs one walk, not one per module slot.
class CSMBusHost
{
public:
    // The base; raises ESMBusBaseAddressGettingError, now and on every
    // later call, when the bus has no controller. Port errors pass through
    // and leave the search to be tried again.
    DWORD GetBaseAddress();

private:
    enum class State
    {
        kNotSearched,
        kFound,
        kAbsent
    };
    State m_state = State::kNotSearched;
    DWORD m_baseAddress = 0;
};

// Single-byte reads from one device on the SMBus, through the host
// controller's registers.
class CSMBus
{
public:
    // Finds the host controller (ESMBusBaseAddressGettingError) and probes
    // the device with a read at offset 0 (ESMBusDeviceError when it does
    // not answer). Port errors pass through. Without a host the PCI bus is
    // searched again for this object alone.
    explicit CSMBus(DWORD slaveAddress, CSMBusHost* host = nullptr);
    virtual ~CSMBus() = default;

    // Walks PCI configuration space (mechanism 1) for the first known host
    // controller or SMBus-class function and stores its I/O base.
    bool FindBaseAddress();

    // A byte-data read: true when the transaction completed, false when the
    // controller flagged a device error (value is stored either way).
    // Raises ESMBusDeviceError when the status never settles.
    bool ReadByte(BYTE offset, BYTE& value);

    DWORD GetBaseAddress() const { return m_baseAddress; }

private:
    DWORD m_baseAddress = 0;
    DWORD m_slaveAddress;
};
