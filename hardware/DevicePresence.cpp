#include "hardware/DevicePresence.h"

#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>

namespace
{
// GUID_DEVICE_BATTERY
const GUID kBatteryInterfaceClass = {0x72631E54, 0x78A4, 0x11D0, {0xBC, 0xF7, 0x00, 0xAA, 0x00, 0xB7, 0xB3, 0x2A}};
// GUID_DEVCLASS_CDROM
const GUID kCdRomSetupClass = {0x4D36E965, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// Devices the configuration manager hides from the device manager.
const ULONG kHiddenDeviceStatus = 0x40000000; // DN_NO_SHOW_IN_DM

class CDeviceList
{
public:
    CDeviceList(const GUID& guid, DWORD flags) : m_devices(SetupDiGetClassDevsW(&guid, nullptr, nullptr, flags)) {}
    ~CDeviceList()
    {
        if (IsValid())
            SetupDiDestroyDeviceInfoList(m_devices);
    }
    CDeviceList(const CDeviceList&) = delete;
    CDeviceList& operator=(const CDeviceList&) = delete;

    bool IsValid() const { return m_devices != INVALID_HANDLE_VALUE; }
    HDEVINFO Get() const { return m_devices; }

private:
    HDEVINFO m_devices;
};

bool IsHiddenDevice(DEVINST device)
{
    ULONG status = 0;
    ULONG problem = 0;
    return CM_Get_DevNode_Status(&status, &problem, device, 0) != CR_SUCCESS || (status & kHiddenDeviceStatus);
}

bool IsExpectedToStay(HDEVINFO devices, SP_DEVINFO_DATA& device)
{
    DWORD policy = 0;
    SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_REMOVAL_POLICY, nullptr,
                                      reinterpret_cast<BYTE*>(&policy), sizeof(policy), nullptr);
    return policy == CM_REMOVAL_POLICY_EXPECT_NO_REMOVAL;
}
}

bool IsBatteryPresent()
{
    CDeviceList devices(kBatteryInterfaceClass, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (!devices.IsValid())
        return false;

    SP_DEVICE_INTERFACE_DATA battery = {};
    battery.cbSize = sizeof(battery);
    if (!SetupDiEnumDeviceInterfaces(devices.Get(), nullptr, &kBatteryInterfaceClass, 0, &battery))
        return false;

    DWORD size = 0;
    SetupDiGetDeviceInterfaceDetailW(devices.Get(), &battery, nullptr, 0, &size, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;

    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(LocalAlloc(LPTR, size));
    if (!detail)
        return false;
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    const bool read = SetupDiGetDeviceInterfaceDetailW(devices.Get(), &battery, detail, size, nullptr, nullptr);
    LocalFree(detail);
    return read;
}

bool IsBuiltInCdRomPresent()
{
    CDeviceList devices(kCdRomSetupClass, DIGCF_PRESENT);
    if (!devices.IsValid())
        return false;

    for (DWORD index = 0;; ++index)
    {
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof(device);
        if (!SetupDiEnumDeviceInfo(devices.Get(), index, &device))
            return false;
        if (!IsHiddenDevice(device.DevInst) && IsExpectedToStay(devices.Get(), device))
            return true;
    }
}
