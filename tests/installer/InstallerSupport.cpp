#include "tests/installer/InstallerSupport.h"

#include <shlobj.h>
#include <taskschd.h>

#include <algorithm>
#include <cwctype>

#include "base/ScopedHandle.h"
#include "base/Folders.h"
#include "testbed/support/FileBytes.h"
#include "testbed/support/OsProbeRun.h"

const wchar_t kProgramKey[] = L"Software\\Wow6432Node\\Tessarin";
const wchar_t kUninstallKey[] = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kEntryKey[] = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zentrix";
const wchar_t kRunOnceKey[] = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

std::wstring CurrentInstaller()
{
    return GetProgramFolder() + L"\\zxq_install_testbed.exe";
}

std::wstring NextInstaller()
{
    return GetProgramFolder() + L"\\zxq_install_testbed_next.exe";
}

std::wstring ShellFolder(int csidl)
{
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
}

std::wstring InstallFolder()
{
    return ShellFolder(CSIDL_PROGRAM_FILESX86) + L"\\Quorvane\\Zentrix";
}

CScopedHandle StartProcess(const std::wstring& commandLine, DWORD* processId, HANDLE token)
{
    std::wstring writable = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const BOOL started =
        token ? CreateProcessAsUserW(token, nullptr, &writable[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &startup, &process)
              : CreateProcessW(nullptr, &writable[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process);
    if (!started)
        return CScopedHandle();
    CloseHandle(process.hThread);
    if (processId)
        *processId = process.dwProcessId;
    return CScopedHandle(process.hProcess);
}

namespace
{
// Starts the command line with the token (none: this process's) and waits
// for its end.
DWORD RunAndWaitAs(HANDLE token, const std::wstring& commandLine, DWORD timeoutMs)
{
    CScopedHandle process = StartProcess(commandLine, nullptr, token);
    if (!process)
        return static_cast<DWORD>(-1);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.Get(), timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.Get(), &code);
    else
        TerminateProcess(process.Get(), 1);
    return code;
}
}

DWORD RunAndWait(const std::wstring& commandLine, DWORD timeoutMs)
{
    return RunAndWaitAs(nullptr, commandLine, timeoutMs);
}

DWORD RunWithoutAdminRights(const std::wstring& commandLine, DWORD timeoutMs)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &token))
        return static_cast<DWORD>(-1);
    CScopedHandle own(token);
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(admins);
    HANDLE restricted = nullptr;
    SID_AND_ATTRIBUTES disabled = {admins, 0};
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size) ||
        !CreateRestrictedToken(token, 0, 1, &disabled, 0, nullptr, 0, nullptr, &restricted))
        return static_cast<DWORD>(-1);
    CScopedHandle user(restricted);
    return RunAndWaitAs(restricted, commandLine, timeoutMs);
}

bool KeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

namespace
{
// Reads a value of the type under HKLM; false when it is missing or of
// another type.
bool QueryValue(const std::wstring& key, const std::wstring& name, DWORD wantedType, void* data, DWORD* bytes)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    const LONG result =
        RegQueryValueExW(opened, name.c_str(), nullptr, &type, static_cast<BYTE*>(data), bytes);
    RegCloseKey(opened);
    return result == ERROR_SUCCESS && (wantedType == REG_NONE || type == wantedType);
}
}

bool ValueExists(const std::wstring& key, const std::wstring& name)
{
    DWORD bytes = 0;
    return QueryValue(key, name, REG_NONE, nullptr, &bytes);
}

std::wstring ReadString(const std::wstring& key, const std::wstring& name)
{
    wchar_t text[1024] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    return QueryValue(key, name, REG_SZ, text, &bytes) ? text : L"";
}

DWORD ReadDword(const std::wstring& key, const std::wstring& name, DWORD missing)
{
    DWORD value = 0;
    DWORD bytes = sizeof(value);
    return QueryValue(key, name, REG_DWORD, &value, &bytes) ? value : missing;
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool LogonTaskExists()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bool exists = false;
    ITaskService* service = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                   reinterpret_cast<void**>(&service))))
    {
        VARIANT empty = {};
        ITaskFolder* root = nullptr;
        IRegisteredTask* task = nullptr;
        BSTR rootName = SysAllocString(L"\\");
        BSTR taskName = SysAllocString(L"Start Zentrix");
        if (SUCCEEDED(service->Connect(empty, empty, empty, empty)) && SUCCEEDED(service->GetFolder(rootName, &root)))
        {
            exists = SUCCEEDED(root->GetTask(taskName, &task));
            if (task)
                task->Release();
            root->Release();
        }
        SysFreeString(rootName);
        SysFreeString(taskName);
        service->Release();
    }
    CoUninitialize();
    return exists;
}

bool ServiceExists(const wchar_t* name)
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager)
        return false;
    SC_HANDLE service = OpenServiceW(manager, name, SERVICE_QUERY_STATUS);
    if (service)
        CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != nullptr;
}

std::wstring UninstallScanFindings()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring output = std::wstring(temp) + L"uninstall_scan.txt";
    if (RunProgramToEnd(TESSARIN_SHIP_X86_TESTBED L"\\uninstall_scan_probe.exe", L"\"" + output + L"\"") != 0)
        return L"<probe failed>";
    std::wstring text = ReadFileText(output);
    DeleteFileW(output.c_str());
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}
