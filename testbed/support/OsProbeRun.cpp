#include "testbed/support/OsProbeRun.h"

#include <windows.h>

#include "base/ScopedHandle.h"
#include "base/Folders.h"
#include "testbed/support/FileBytes.h"

namespace
{
// Wine reports the Windows version of this registry value to the program of
// that file name, as long as the value exists.
class CWineVersionOverride
{
public:
    CWineVersionOverride(const std::wstring& programName, const std::wstring& version)
        : m_key(L"Software\\Wine\\AppDefaults\\" + programName)
    {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)
            != ERROR_SUCCESS)
            return;
        ::RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                         static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
    }
    ~CWineVersionOverride() { ::RegDeleteKeyW(HKEY_CURRENT_USER, m_key.c_str()); }
    CWineVersionOverride(const CWineVersionOverride&) = delete;
    CWineVersionOverride& operator=(const CWineVersionOverride&) = delete;

private:
    std::wstring m_key;
};

// The file's bytes as UTF-16LE text.
std::wstring ReadText(const std::wstring& path)
{
    std::string bytes;
    if (!ReadFileBytes(path, bytes))
        return L"<no probe output>";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}
}

int RunProgramToEnd(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return -1;
    ::CloseHandle(process.hThread);
    CScopedHandle running(process.hProcess);
    DWORD exitCode = static_cast<DWORD>(-1);
    if (::WaitForSingleObject(running.Get(), 60000) != WAIT_OBJECT_0)
    {
        // Hung (or waiting for a box nobody answers): not left behind.
        ::TerminateProcess(running.Get(), 1);
        return -2;
    }
    ::GetExitCodeProcess(running.Get(), &exitCode);
    return static_cast<int>(exitCode);
}

int RunCopyUnder(const std::wstring& stem, const std::wstring& wineVersion, const std::wstring& folder,
                 const std::wstring& arguments)
{
    const std::wstring name = stem + L"_" + wineVersion + L".exe";
    const std::wstring program = folder + L"\\" + name;
    if (!::CopyFileW((GetProgramFolder() + L"\\" + stem + L".exe").c_str(), program.c_str(), FALSE))
        return -1;
    CWineVersionOverride version(name, wineVersion);
    return RunProgramToEnd(program, arguments);
}

std::wstring RunOsProbeUnder(const std::wstring& wineVersion, const std::wstring& folder, const std::wstring& query)
{
    const std::wstring output = folder + L"\\os_probe_" + wineVersion + L".exe.txt";
    std::wstring arguments = L"\"" + output + L"\"";
    if (!query.empty())
        arguments += L" " + query;
    if (RunCopyUnder(L"os_probe", wineVersion, folder, arguments) != 0)
        return L"<probe failed>";
    return ReadText(output);
}
