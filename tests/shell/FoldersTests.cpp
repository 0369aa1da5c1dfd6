#include <windows.h>

#include <regex>

#include <gtest/gtest.h>

#include "base/Folders.h"
#include "tests/shell/ShellTestSupport.h"

namespace
{
TEST(Folders, AppDataFolderIsCreatedAgainOnEveryCall)
{
    std::wstring folder = GetAppDataFolder();
    ASSERT_TRUE(EndsWith(folder, L"\\Quorvane\\Zentrix")) << Narrow(folder);
    ASSERT_TRUE(PathExists(folder));

    // Other test programs may use the folder: it is only moved aside.
    std::wstring company = folder.substr(0, folder.rfind(L'\\'));
    std::wstring saved = company + L".saved_" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::MoveFileW(company.c_str(), saved.c_str()));
    std::wstring again = GetAppDataFolder();
    bool recreated = PathExists(folder);
    DeleteTree(company);
    ::MoveFileW(saved.c_str(), company.c_str());

    EXPECT_EQ(folder, again);
    EXPECT_TRUE(recreated);
}

TEST(Folders, FileVersionText)
{
    CScratchFolder scratch;
    WriteFileBytes(scratch / L"plain.txt", "no resources here");
    EXPECT_EQ(L"", GetFileVersionText(scratch / L"plain.txt"));
    EXPECT_EQ(L"", GetFileVersionText(scratch / L"missing.dll"));

    // Wine 8's kernel32.dll is version 10.0.18362.1350: the words must come
    // most significant first, high half before low half.
    std::wstring version = GetFileVersionText(GetSystemFolder() + L"\\kernel32.dll");
    EXPECT_TRUE(std::regex_match(version, std::wregex(LR"(10\.0\.18362\.\d+)"))) << Narrow(version);
}
}
