#include "shell/LogonTask.h"

#include <windows.h>
#include <taskschd.h>

#include "base/ComSupport.h"
#include "shell/Module.h"
#include "shell/ProgramKey.h"

const wchar_t kLogonTaskName[] = L"Start Zentrix";

namespace
{
bool HasTaskScheduler2()
{
    return LOBYTE(LOWORD(GetVersion())) > 5;
}

void DeleteLogonTask()
{
    CComApartment apartment(COINIT_MULTITHREADED);
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE,
                         nullptr, 0, nullptr);
    try
    {
        CComPointer<ITaskService> service;
        if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                    reinterpret_cast<void**>(service.Receive()))))
            return;
        CVariant none;
        if (FAILED(service->Connect(none.Get(), none.Get(), none.Get(), none.Get())))
            return;
        CComPointer<ITaskFolder> root;
        if (FAILED(service->GetFolder(CBstr(L"\\").Get(), root.Receive())))
            return;
        root->DeleteTask(CBstr(kLogonTaskName).Get(), 0);
    }
    catch (const CComError&)
    {
        // No memory for a string: the task stays; nothing else depends on it.
    }
}
}

void ResetLogonTask()
{
    g_module.Log(L"Reset Logon Task");
    if (HasTaskScheduler2())
        DeleteLogonTask();
    CRegistryKey key;
    if (OpenProgramKey(key))
        key.WriteDword(kRunAtStartUpValue, 0);
}
