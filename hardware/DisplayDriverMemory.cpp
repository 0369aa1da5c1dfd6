#include "hardware/DisplayDriverMemory.h"

#include <setupapi.h>

namespace
{
// The value a WDDM driver fills in its software key ("Registering hardware
// information" in the Windows Driver Kit documentation).
const wchar_t kMemorySizeValue[] = L"HardwareInformation.qwMemorySize";

// The software (driver) key of one device, opened for reading.
HKEY OpenDriverKey(const std::wstring& deviceInstanceId)
{
    HDEVINFO devices = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (devices == INVALID_HANDLE_VALUE)
        return nullptr;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    HKEY key = nullptr;
    if (SetupDiOpenDeviceInfoW(devices, deviceInstanceId.c_str(), nullptr, 0, &device))
    {
        key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE)
            key = nullptr;
    }
    SetupDiDestroyDeviceInfoList(devices);
    return key;
}
}

std::optional<ULONGLONG> DisplayDriverMemorySize(const std::wstring& deviceInstanceId)
{
    if (deviceInstanceId.empty())
        return std::nullopt;
    HKEY key = OpenDriverKey(deviceInstanceId);
    if (!key)
        return std::nullopt;
    ULONGLONG bytes = 0;
    DWORD type = 0;
    DWORD size = sizeof(bytes);
    const LONG result = RegQueryValueExW(key, kMemorySizeValue, nullptr, &type, reinterpret_cast<BYTE*>(&bytes), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_QWORD || size != sizeof(bytes))
        return std::nullopt;
    return bytes;
}
