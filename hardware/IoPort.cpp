#include "hardware/IoPort.h"

#include "hardware/HardwareErrors.h"
#include "hardware/PortIoRequests.h"
#include "base/Log.h"
#include "base/StringFormat.h"

namespace
{
const wchar_t kDevicePath[] = L"\\\\.\\PortIo";

// One synchronous request; true when the driver completed it.
bool SendRequest(HANDLE device, DWORD code, const void* input, DWORD inputSize, void* output, DWORD outputSize,
                 DWORD& returned)
{
    returned = 0;
    return DeviceIoControl(device, code, const_cast<void*>(input), inputSize, output, outputSize, &returned,
                           nullptr) != FALSE;
}
}

CIoPort::CIoPort(DWORD port, DWORD width)
    : m_device(AdoptFileHandle(CreateFileW(kDevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr))),
      m_port(port),
      m_width(width)
{
    if (!m_device)
        throw EDriverHandleCreationError();

    const DWORD request[3] = {m_port, m_width, 1};
    DWORD token = 0;
    DWORD returned = 0;
    if (!SendRequest(m_device.Get(), PORT_IO_OPEN, request, sizeof(request), &token, sizeof(token), returned)
        || token == 0)
        throw EIoPortOperationError();
    m_token = token;
}

CIoPort::~CIoPort()
{
    DWORD returned = 0;
    if (!SendRequest(m_device.Get(), PORT_IO_CLOSE, &m_token, sizeof(m_token), nullptr, 0, returned))
        LogError(FormatText(L"I/O port operation failed: cannot close port 0x%lX", m_port), GetLastError());
}

void CIoPort::Read(DWORD& value)
{
    const DWORD request[2] = {m_token, 0};
    DWORD returned = 0;
    if (!SendRequest(m_device.Get(), PORT_IO_READ, request, sizeof(request), &value, sizeof(value), returned)
        || returned == 0)
        throw EIoPortOperationError();
}

void CIoPort::Write(DWORD value)
{
    const DWORD request[3] = {m_token, 0, value};
    DWORD returned = 0;
    if (!SendRequest(m_device.Get(), PORT_IO_WRITE, request, sizeof(request), nullptr, 0, returned))
        throw EIoPortOperationError();
}
