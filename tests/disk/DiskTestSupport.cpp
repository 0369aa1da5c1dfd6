#include "tests/disk/DiskTestSupport.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "base/Folders.h"

std::wstring OstrelHostFolder()
{
    return GetProgramFolder() + L"\\ostrel_host";
}

HMODULE OstrelHost()
{
    static HMODULE host = LoadLibraryW((OstrelHostFolder() + L"\\ostrel_host.dll").c_str());
    return host;
}

CScopedEnvironment::CScopedEnvironment(const std::wstring& name, const std::wstring& value) : m_name(name)
{
    wchar_t old[512];
    DWORD length = GetEnvironmentVariableW(name.c_str(), old, 512);
    m_hadValue = length > 0 && length < 512;
    if (m_hadValue)
        m_old.assign(old, length);
    SetEnvironmentVariableW(name.c_str(), value.c_str());
}

CScopedEnvironment::~CScopedEnvironment()
{
    SetEnvironmentVariableW(m_name.c_str(), m_hadValue ? m_old.c_str() : nullptr);
}

CWineVersionFor::CWineVersionFor(const std::wstring& programName, const std::wstring& version)
    : m_key(L"Software\\Wine\\AppDefaults\\" + programName)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
    {
        RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                       static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
}

CWineVersionFor::~CWineVersionFor()
{
    RegDeleteKeyW(HKEY_CURRENT_USER, m_key.c_str());
}

int CountProcessesNamed(const wchar_t* name)
{
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        count += lstrcmpiW(entry.szExeFile, name) == 0;
    CloseHandle(snapshot);
    return count;
}

namespace
{
// Puts the defragmenter stand-in where the system's would be, for the whole
// test program, and takes it away again: the 64-bit stand-in into the 64-bit
// system folder, the 32-bit one into the 32-bit folder, each taken from the
// build of that architecture (the shipped one where this test build is of
// the other).
class CDefragStandInInstallation : public ::testing::Environment
{
public:
    void SetUp() override
    {
        const std::wstring own = GetProgramFolder() + L"\\defrag.exe";
        const std::wstring builds = GetProgramFolder() + L"\\..\\..\\";
        BOOL wow64 = FALSE;
        IsWow64Process(GetCurrentProcess(), &wow64);
        wchar_t folder[MAX_PATH] = {};
        // A 32-bit program on 64-bit Windows reaches the 64-bit system
        // folder only through the "Sysnative" alias.
        if (wow64 && GetWindowsDirectoryW(folder, MAX_PATH))
            m_system = std::wstring(folder) + L"\\Sysnative\\defrag.exe";
        else if (GetSystemDirectoryW(folder, MAX_PATH))
            m_system = std::wstring(folder) + L"\\defrag.exe";
        CopyFileW(wow64 ? (builds + L"ship-x64\\testbed-bin\\defrag.exe").c_str() : own.c_str(), m_system.c_str(), FALSE);

        if (GetSystemWow64DirectoryW(folder, MAX_PATH))
        {
            m_wow64 = std::wstring(folder) + L"\\defrag.exe";
            if (wow64 || !CopyFileW((builds + L"ship-x86\\testbed-bin\\defrag.exe").c_str(), m_wow64.c_str(), FALSE))
                CopyFileW(own.c_str(), m_wow64.c_str(), FALSE);
        }
    }

    void TearDown() override
    {
        DeleteFileW(m_system.c_str());
        if (!m_wow64.empty())
            DeleteFileW(m_wow64.c_str());
    }

private:
    std::wstring m_system;
    std::wstring m_wow64;
};

::testing::Environment* const g_installation = ::testing::AddGlobalTestEnvironment(new CDefragStandInInstallation);
}
