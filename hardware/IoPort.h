#pragma once
#include <windows.h>

#include "base/ScopedHandle.h"

// One x86 I/O port, 1 or 4 bytes wide, read and written through the
// port-I/O driver. Each port opens a device handle of its own and closes it
// when it goes. Failures raise the errors of HardwareErrors.h.
class CIoPort
{
public:
    // Opens the driver's device (EDriverHandleCreationError) and the port
    // (EIoPortOperationError).
    CIoPort(DWORD port, DWORD width);
    // Closes the port, then the device handle. A failing close is logged:
    // the destructor may run while another error propagates.
    virtual ~CIoPort();

    CIoPort(const CIoPort&) = delete;
    CIoPort& operator=(const CIoPort&) = delete;

    // For width 1 the byte is in the low-order byte of value.
    void Read(DWORD& value);
    void Write(DWORD value);

private:
    CScopedHandle m_device;
    DWORD m_port;
    DWORD m_token = 0;
    DWORD m_width;
};
