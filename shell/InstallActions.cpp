#include "shell/InstallActions.h"

#include <windows.h>

#include "base/ScopedHandle.h"
#include "base/Folders.h"
#include "shell/Module.h"
#include "shell/UserAddressRepair.h"
#include "shell/Wow64Redirection.h"

const wchar_t kDriverServiceName[] = L"zxq";

namespace
{
const wchar_t kDriverFileName[] = L"zxq.sys";
// As the service records it: relative to the Windows folder.
const wchar_t kDriverImagePath[] = L"system32\\DRIVERS\\zxq.sys";
const DWORD kCreatedServiceAccess = 0xF01FF;
const DWORD kOpenedServiceAccess = 0xF003F;

bool CopyDriverFile()
{
    CWow64RedirectionOff realSystemFolder;
    return CopyFileW(DriverSourcePath().c_str(), DriverTargetPath().c_str(), FALSE) != FALSE;
}

SC_HANDLE CreateOrOpenDriverService(SC_HANDLE manager)
{
    SC_HANDLE service = CreateServiceW(manager, kDriverServiceName, kDriverServiceName, kCreatedServiceAccess,
                                       SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                       kDriverImagePath, nullptr, nullptr, nullptr, nullptr, nullptr);
    return service ? service : OpenServiceW(manager, kDriverServiceName, kOpenedServiceAccess);
}
}

std::wstring DriverSourcePath()
{
    return GetProgramFolder() + L"\\" + kDriverFileName;
}

std::wstring DriverTargetPath()
{
    return GetSystemFolder() + L"\\drivers\\" + kDriverFileName;
}

void InstallActions()
{
    RepairUserAddress(g_module.GetAppDataFolder() + L"\\user_url", g_module.GetSettings());

    if (!CopyDriverFile())
    {
        g_module.LogError(L"could not copy zxq.sys", GetLastError());
        return;
    }
    CServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
    {
        g_module.LogError(L"OpenSCManager failed", GetLastError());
        return;
    }
    CServiceHandle service(CreateOrOpenDriverService(manager.Get()));
    if (!service)
    {
        g_module.LogError(L"schService == NULL", GetLastError());
        return;
    }
    // A driver that is already running, or cannot run yet, is no failure of
    // the installation: Windows starts it with the next boot.
    StartServiceW(service.Get(), 0, nullptr);
}

void UninstallActions()
{
    CServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return;
    CServiceHandle service(OpenServiceW(manager.Get(), kDriverServiceName, DELETE));
    if (!service)
        return;
    DeleteService(service.Get());
    CWow64RedirectionOff realSystemFolder;
    DeleteFileW(DriverTargetPath().c_str());
}
