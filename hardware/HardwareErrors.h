#pragma once
#include <stdexcept>

// What the port I/O, SMBus and SPD layer raises. The memory test catches
// them per module slot as std::runtime_error.

// The port-I/O driver's device cannot be opened (driver missing or stopped).
class EDriverHandleCreationError : public std::runtime_error
{
public:
    EDriverHandleCreationError() : std::runtime_error("CreateFile has returned INVALID_HANDLE_VALUE") {}
};

// An open, read, write or close request to the driver failed.
class EIoPortOperationError : public std::runtime_error
{
public:
    EIoPortOperationError() : std::runtime_error("I/O port operation failed") {}
};

// No SMBus host controller on the PCI bus.
class ESMBusBaseAddressGettingError : public std::runtime_error
{
public:
    ESMBusBaseAddressGettingError() : std::runtime_error("Getting an SMBus base address failed") {}
};

// A status poll timed out, or the slave did not answer the probe read.
class ESMBusDeviceError : public std::runtime_error
{
public:
    ESMBusDeviceError() : std::runtime_error("Device read-operation failed") {}
};
