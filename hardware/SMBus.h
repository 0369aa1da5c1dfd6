#pragma once
#include <windows.h>

#include <functional>

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

    // Walks PCI configuration space (mechanism 1) for the host controller
    // (hardware/SMBusSearch.h) and stores its I/O base.
    bool FindBaseAddress();

    // A byte-data read: true when the transaction completed, false when the
    // controller flagged a device error (value is stored either way).
    // Raises ESMBusDeviceError when the status never settles.
    bool ReadByte(BYTE offset, BYTE& value);

    // Selects page 0 or 1 of the 512-byte SPD EEPROMs (DDR4) on the whole
    // bus, with JEDEC's send byte to 0x36 or 0x37; false when no EEPROM
    // answered. Raises as ReadByte.
    bool SelectSpdPage(unsigned page);

    DWORD GetBaseAddress() const { return m_baseAddress; }

private:
    // One transaction: slave address register, command, start value.
    bool Transact(DWORD slaveRegister, BYTE command, DWORD start, BYTE& value);

    DWORD m_baseAddress = 0;
    DWORD m_slaveAddress;
};

// Calls poll up to polls times until it returns true; true when it did,
// on the last allowed call too.
bool PollUntil(WORD polls, const std::function<bool()>& poll);
