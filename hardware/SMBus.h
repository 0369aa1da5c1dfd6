#pragma once
#include <windows.h>

// Single-byte reads from one device on the SMBus, through the host
// controller's registers. The controller is looked up on the PCI bus at
// every construction; nothing is cached between objects.
class CSMBus
{
public:
    // Finds the host controller (ESMBusBaseAddressGettingError) and probes
    // the device with a read at offset 0 (ESMBusDeviceError when it does
    // not answer). Port errors pass through.
    explicit CSMBus(DWORD slaveAddress);
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
