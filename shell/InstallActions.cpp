#include "shell/InstallActions.h"

#include <windows.h>

#include "base/ScopedHandle.h"
#include "base/Folders.h"
#include "shell/Module.h"
#include "shell/Restart.h"
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

const DWORD kStopWaitMs = 15000;

bool CopyDriverFile()
{
    CWow64RedirectionOff realSystemFolder;
    return CopyFileW(DriverSourcePath().c_str(), DriverTargetPath().c_str(), FALSE) != FALSE;
}

// Asks a running driver to stop and waits (bounded) until it has: a loaded
// driver's file cannot be replaced or deleted. "ControlService",
// SERVICE_CONTROL_STOP; a driver that is not running answers
// ERROR_SERVICE_NOT_ACTIVE.
void StopDriver(SC_HANDLE service)
{
    SERVICE_STATUS status = {};
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status))
        return;
    for (DWORD waited = 0; status.dwCurrentState != SERVICE_STOPPED && waited < kStopWaitMs; waited += 100)
    {
        Sleep(100);
        if (!QueryServiceStatus(service, &status))
            return;
    }
}

SC_HANDLE CreateDriverService(SC_HANDLE manager)
{
    return CreateServiceW(manager, kDriverServiceName, kDriverServiceName, kCreatedServiceAccess,
                          SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, kDriverImagePath,
                          nullptr, nullptr, nullptr, nullptr, nullptr);
}

// An earlier installation's service gets this one's settings.
bool UpdateDriverService(SC_HANDLE service)
{
    return ChangeServiceConfigW(service, SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                kDriverImagePath, nullptr, nullptr, nullptr, nullptr, nullptr,
                                kDriverServiceName) != FALSE;
}

bool StartDriver(SC_HANDLE service)
{
    return StartServiceW(service, 0, nullptr) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
}

InstallResult Fail(const wchar_t* text, InstallResult result)
{
    g_module.LogError(text, GetLastError());
    return result;
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

InstallResult InstallActions()
{
    RepairUserAddress(g_module.GetAppDataFolder() + L"\\user_url", g_module.GetSettings());

    CServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    CServiceHandle existing(manager ? OpenServiceW(manager.Get(), kDriverServiceName, kOpenedServiceAccess) : nullptr);
    if (existing)
        StopDriver(existing.Get());
    if (!CopyDriverFile())
        return Fail(L"could not copy zxq.sys", kDriverNotCopied);
    if (!manager)
        return Fail(L"OpenSCManager failed", kDriverNotRegistered);
    if (existing && !UpdateDriverService(existing.Get()))
        return Fail(L"could not update the service zxq", kDriverNotRegistered);
    CServiceHandle service(existing ? nullptr : CreateDriverService(manager.Get()));
    const SC_HANDLE driver = existing ? existing.Get() : service.Get();
    if (!driver)
        return Fail(L"schService == NULL", kDriverNotRegistered);
    // Windows starts it with every boot from now on; the restart the
    // installer asks for comes first.
    MarkRestartAsked();
    if (!StartDriver(driver))
        return Fail(L"could not start zxq.sys", kDriverNotStarted);
    return kDriverInstalled;
}

bool UninstallActions()
{
    CServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    CServiceHandle service(manager ? OpenServiceW(manager.Get(), kDriverServiceName, DELETE | SERVICE_STOP |
                                                                                       SERVICE_QUERY_STATUS)
                                   : nullptr);
    bool serviceGone = manager && !service && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    if (service)
    {
        StopDriver(service.Get());
        serviceGone = DeleteService(service.Get()) || GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
    }
    CWow64RedirectionOff realSystemFolder;
    const bool fileGone = DeleteFileW(DriverTargetPath().c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
    return serviceGone && fileGone;
}
