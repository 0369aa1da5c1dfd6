#include "tests/shell/StartupTestSupport.h"

#include <sddl.h>
#include <taskschd.h>

#include "base/ComSupport.h"
#include "shell/InstallActions.h"
#include "shell/ProgramKey.h"
#include "tests/shell/ShellTestSupport.h"

namespace
{
HKEY OpenKey(REGSAM access)
{
    HKEY key = nullptr;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProgramKeyPath, 0, access, &key) == ERROR_SUCCESS ? key : nullptr;
}

// The root folder of a connected Task Scheduler, or nothing.
CComPointer<ITaskFolder> RootFolder()
{
    CComPointer<ITaskService> service;
    CComPointer<ITaskFolder> root;
    CVariant none;
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                   reinterpret_cast<void**>(service.Receive())))
        && SUCCEEDED(service->Connect(none.Get(), none.Get(), none.Get(), none.Get())))
        service->GetFolder(CBstr(L"\\").Get(), root.Receive());
    return root;
}

const wchar_t kTaskXml[] =
    L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
    L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
    L"<Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>"
    L"<Actions Context=\"Author\"><Exec><Command>C:\\Tessarin.exe</Command><Arguments>autorun</Arguments></Exec>"
    L"</Actions></Task>";
}

std::wstring RunAtStartUpText()
{
    CRegistryKey key;
    DWORD value = 0;
    return OpenProgramKey(key) && key.ReadDword(kRunAtStartUpValue, value) ? std::to_wstring(value) : L"<none>";
}

bool ChangeDriverService(DWORD startType, const std::wstring& imagePath)
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, kDriverServiceName, SERVICE_CHANGE_CONFIG) : nullptr;
    const bool changed = service && ChangeServiceConfigW(service, SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE,
                                                         imagePath.c_str(), nullptr, nullptr, nullptr, nullptr,
                                                         nullptr, nullptr);
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    return changed;
}

void ForgetRestartAsked()
{
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kProgramKeyPath) + L"\\RestartAsked").c_str());
}

DriverServiceConfig QueryDriverService()
{
    DriverServiceConfig config;
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, kDriverServiceName, SERVICE_QUERY_CONFIG) : nullptr;
    std::vector<BYTE> buffer(8192);
    auto* queried = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    DWORD needed = 0;
    if (service && QueryServiceConfigW(service, queried, static_cast<DWORD>(buffer.size()), &needed))
    {
        config = {true, queried->dwServiceType, queried->dwStartType, queried->dwErrorControl,
                  queried->lpBinaryPathName ? queried->lpBinaryPathName : L"",
                  queried->lpDisplayName ? queried->lpDisplayName : L""};
    }
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    return config;
}

CProgramKeyDenied::CProgramKeyDenied()
{
    HKEY key = OpenKey(READ_CONTROL | WRITE_DAC);
    if (!key)
        return;
    DWORD size = 0;
    if (RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size) == ERROR_INSUFFICIENT_BUFFER)
    {
        m_oldSecurity.resize(size);
        // Everyone (WD) may do anything but set values (KEY_SET_VALUE, 0x2).
        PSECURITY_DESCRIPTOR denying = nullptr;
        m_denied = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, m_oldSecurity.data(), &size) == ERROR_SUCCESS
            && ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x2;;;WD)(A;;KA;;;WD)",
                                                                    SDDL_REVISION_1, &denying, nullptr)
            && RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, denying) == ERROR_SUCCESS;
        LocalFree(denying);
    }
    RegCloseKey(key);
}

CProgramKeyDenied::~CProgramKeyDenied()
{
    if (!m_denied)
        return;
    if (HKEY key = OpenKey(WRITE_DAC))
    {
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, m_oldSecurity.data());
        RegCloseKey(key);
    }
}

bool RegisterRootTask(const std::wstring& name)
{
    CComApartment com(COINIT_MULTITHREADED);
    CComPointer<ITaskFolder> root = RootFolder();
    CComPointer<IRegisteredTask> task;
    CVariant none;
    return root
        && SUCCEEDED(root->RegisterTask(CBstr(name).Get(), CBstr(kTaskXml).Get(), TASK_CREATE_OR_UPDATE, none.Get(),
                                        none.Get(), TASK_LOGON_INTERACTIVE_TOKEN, none.Get(), task.Receive()));
}

bool RootTaskExists(const std::wstring& name)
{
    CComApartment com(COINIT_MULTITHREADED);
    CComPointer<ITaskFolder> root = RootFolder();
    CComPointer<IRegisteredTask> task;
    return root && SUCCEEDED(root->GetTask(CBstr(name).Get(), task.Receive()));
}

void DeleteRootTask(const std::wstring& name)
{
    CComApartment com(COINIT_MULTITHREADED);
    if (CComPointer<ITaskFolder> root = RootFolder())
        root->DeleteTask(CBstr(name).Get(), 0);
}

CEnglishBeside::CEnglishBeside(const std::wstring& folder)
    : m_language(HKEY_LOCAL_MACHINE, kProgramKeyPath, L"Language")
{
    m_language.Set(L"English");
    CreateDirectoryW((folder + L"\\Languages").c_str(), nullptr);
    WriteFileBytes(folder + L"\\Languages\\English.xml", DefaultLanguageBytes());
}
