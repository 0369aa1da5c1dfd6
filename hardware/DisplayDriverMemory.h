#pragma once
#include <windows.h>
#include <optional>
#include <string>

// The adapter memory in bytes that the display driver of the device (its
// device instance id, WMI's "PNPDeviceID") records in its driver key as
// "HardwareInformation.qwMemorySize" (REG_QWORD; Windows 10 drivers write
// the full size there, where WMI's 32-bit "AdapterRAM" stops at 4 GB).
// Nothing when the device, its key or a well-formed value is missing.
std::optional<ULONGLONG> DisplayDriverMemorySize(const std::wstring& deviceInstanceId);
