#include "testbed/support/StandInDriver.h"

#include "base/ScopedHandle.h"
#include "base/RegistryKey.h"
#include "base/StringFormat.h"

namespace
{
const wchar_t kServiceName[] = L"zxq";
const wchar_t kParametersKey[] = L"SYSTEM\\CurrentControlSet\\Services\\zxq\\Parameters";
const DWORD kWaitMs = 10000;
const DWORD kPollMs = 20;

bool Fail(std::wstring& error, const wchar_t* step)
{
    error = FormatText(L"%ls failed (error %lu)", step, GetLastError());
    return false;
}

bool DeviceAnswers()
{
    return static_cast<bool>(AdoptFileHandle(CreateFileW(L"\\\\.\\PortIo", GENERIC_READ | GENERIC_WRITE,
                                                         FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)));
}

// Polls until the service reports state (or the wait runs out).
bool WaitForState(SC_HANDLE service, DWORD state)
{
    for (DWORD waited = 0; waited < kWaitMs; waited += kPollMs)
    {
        SERVICE_STATUS status = {};
        if (!QueryServiceStatus(service, &status))
            return false;
        if (status.dwCurrentState == state)
            return true;
        Sleep(kPollMs);
    }
    return false;
}

bool StopIfRunning(SC_HANDLE service, std::wstring& error)
{
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service, &status))
        return Fail(error, L"QueryServiceStatus");
    if (status.dwCurrentState == SERVICE_STOPPED)
        return true;
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status) && GetLastError() != ERROR_SERVICE_NOT_ACTIVE)
        return Fail(error, L"ControlService(stop)");
    if (!WaitForState(service, SERVICE_STOPPED))
        return Fail(error, L"waiting for the driver to stop");
    return true;
}

bool WriteMachine(const StandInMachine* machine, std::wstring& error)
{
    if (!machine)
    {
        const LONG result = RegDeleteKeyW(HKEY_LOCAL_MACHINE, kParametersKey);
        SetLastError(result);
        return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND || Fail(error, L"RegDeleteKey(Parameters)");
    }
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParametersKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                  nullptr);
    if (result == ERROR_SUCCESS)
    {
        const std::vector<BYTE> slots = machine->slots.empty() ? std::vector<BYTE>(1, 0) : machine->slots;
        result = RegSetValueExW(key, L"Machine", 0, REG_SZ, reinterpret_cast<const BYTE*>(machine->machine.c_str()),
                                static_cast<DWORD>((machine->machine.size() + 1) * sizeof(wchar_t)));
        if (result == ERROR_SUCCESS)
            result = RegSetValueExW(key, L"Faults", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&machine->faults),
                                    sizeof(DWORD));
        if (result == ERROR_SUCCESS)
            result = RegSetValueExW(key, L"Slots", 0, REG_BINARY, slots.data(), static_cast<DWORD>(slots.size()));
        RegCloseKey(key);
    }
    SetLastError(result);
    return result == ERROR_SUCCESS || Fail(error, L"writing the driver's Parameters");
}

// The service with the stand-in's absolute image path, created when missing.
SC_HANDLE OpenOrCreateService(SC_HANDLE manager, const std::wstring& imagePath)
{
    SC_HANDLE service = CreateServiceW(manager, kServiceName, kServiceName, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, imagePath.c_str(), nullptr, nullptr,
                                       nullptr, nullptr, nullptr);
    if (service || GetLastError() != ERROR_SERVICE_EXISTS)
        return service;
    service = OpenServiceW(manager, kServiceName, SERVICE_ALL_ACCESS);
    if (service
        && !ChangeServiceConfigW(service, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                 imagePath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
    {
        const DWORD lastError = GetLastError();
        CloseServiceHandle(service);
        SetLastError(lastError);
        return nullptr;
    }
    return service;
}
}

bool StartStandInDriver(const std::wstring& imagePath, const StandInMachine* machine, std::wstring& error)
{
    CServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return Fail(error, L"OpenSCManager");
    CServiceHandle service(OpenOrCreateService(manager.Get(), imagePath));
    if (!service)
        return Fail(error, L"installing the driver service");
    // The driver reads its machine when it starts.
    if (!StopIfRunning(service.Get(), error) || !WriteMachine(machine, error))
        return false;
    if (!StartServiceW(service.Get(), 0, nullptr))
        return Fail(error, L"StartService");
    for (DWORD waited = 0; waited < kWaitMs; waited += kPollMs)
    {
        if (DeviceAnswers())
            return true;
        Sleep(kPollMs);
    }
    return Fail(error, L"waiting for \\\\.\\PortIo");
}

bool ReadStandInCounts(StandInCounts& counts)
{
    CRegistryKey key;
    return key.Open(HKEY_LOCAL_MACHINE, kParametersKey, KEY_QUERY_VALUE) == ERROR_SUCCESS
           && key.ReadDword(L"EepromWrites", counts.eepromWrites)
           && key.ReadDword(L"ForeignWrites", counts.foreignWrites)
           && key.ReadDword(L"FirmwareTransactions", counts.firmwareTransactions);
}

bool RemoveStandInDriver(std::wstring& error)
{
    CServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return Fail(error, L"OpenSCManager");
    CServiceHandle service(OpenServiceW(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
    if (!service)
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST || Fail(error, L"OpenService");
    if (!StopIfRunning(service.Get(), error))
        return false;
    WriteMachine(nullptr, error);
    return DeleteService(service.Get()) || Fail(error, L"DeleteService");
}
