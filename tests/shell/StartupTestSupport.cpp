#include "tests/shell/StartupTestSupport.h"

#include <taskschd.h>

#include "engine/ComSupport.h"
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

CRunAtStartUpScratch::CRunAtStartUpScratch()
{
    HKEY key = OpenKey(KEY_QUERY_VALUE);
    if (!key)
    {
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProgramKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr)
            != ERROR_SUCCESS)
            return;
        m_createdKey = true;
    }
    DWORD bytes = 0;
    if (RegQueryValueExW(key, kRunAtStartUpValue, nullptr, &m_type, nullptr, &bytes) == ERROR_SUCCESS)
    {
        m_data.resize(bytes);
        m_hadValue = RegQueryValueExW(key, kRunAtStartUpValue, nullptr, &m_type, m_data.data(), &bytes)
            == ERROR_SUCCESS;
    }
    RegCloseKey(key);
}

CRunAtStartUpScratch::~CRunAtStartUpScratch()
{
    if (m_createdKey)
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProgramKeyPath);
    else if (m_hadValue)
        Set(m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
    else
        Remove();
}

void CRunAtStartUpScratch::Set(DWORD type, const void* data, DWORD bytes) const
{
    if (HKEY key = OpenKey(KEY_SET_VALUE))
    {
        RegSetValueExW(key, kRunAtStartUpValue, 0, type, static_cast<const BYTE*>(data), bytes);
        RegCloseKey(key);
    }
}

void CRunAtStartUpScratch::Remove() const
{
    if (HKEY key = OpenKey(KEY_SET_VALUE))
    {
        RegDeleteValueW(key, kRunAtStartUpValue);
        RegCloseKey(key);
    }
}

std::wstring CRunAtStartUpScratch::Describe() const
{
    HKEY key = OpenKey(KEY_QUERY_VALUE);
    DWORD type = 0, value = 0, bytes = sizeof(value);
    const bool read = key && RegQueryValueExW(key, kRunAtStartUpValue, nullptr, &type,
                                              reinterpret_cast<BYTE*>(&value), &bytes) == ERROR_SUCCESS;
    if (key)
        RegCloseKey(key);
    return read ? std::to_wstring(type) + L":" + std::to_wstring(value) : L"<missing>";
}

CProgramKeyDenied::CProgramKeyDenied()
{
    HKEY key = OpenKey(READ_CONTROL | WRITE_DAC);
    if (!key)
        return;
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    m_oldSecurity.resize(size);
    if (size && RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, m_oldSecurity.data(), &size) == ERROR_SUCCESS)
    {
        // Everyone (S-1-1-0) may not set values; everything else stays allowed.
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        BYTE aclBuffer[256] = {};
        auto* acl = reinterpret_cast<ACL*>(aclBuffer);
        SECURITY_DESCRIPTOR descriptor = {};
        if (AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
        {
            m_denied = InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION)
                && AddAccessDeniedAce(acl, ACL_REVISION, KEY_SET_VALUE, everyone)
                && AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone)
                && InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)
                && SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE)
                && RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
            FreeSid(everyone);
        }
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
    WriteBytes(folder + L"\\Languages\\English.xml", DefaultLanguageBytes());
}
