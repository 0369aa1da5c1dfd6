#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "testbed/support/OsProbeRun.h"

namespace
{
// A folder of its own below the temporary folder, removed with its files.
class CProbeFolder
{
public:
    CProbeFolder()
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_path = std::wstring(temp) + L"os_code_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~CProbeFolder()
    {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((m_path + L"\\*").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
            DeleteFileW((m_path + L"\\" + found.cFileName).c_str());
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
        RemoveDirectoryW(m_path.c_str());
    }
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};
}

TEST(HardwareInfoOsCodeInWine, EachWindowsFamilyGetsItsCode)
{
    // A 64-bit prefix offers Windows XP only as XP x64 (5.2), which counts as
    // XP; a 32-bit prefix would report 5.1, which counts the same.
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"winxp64", L"x"}, {L"vista", L"v"}, {L"win7", L"s"}, {L"win8", L""}, {L"win10", L""},
    };
    CProbeFolder folder;
    for (const auto& c : cases)
        EXPECT_EQ(RunOsProbeUnder(c.first, folder.Path(), L"os-code"), c.second)
            << std::string(c.first, c.first + wcslen(c.first));
}
