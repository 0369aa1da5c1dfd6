#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "shell/InstallActions.h"
#include "shell/UserAddressRepair.h"
#include "testbed/support/LogRecorder.h"
#include "shell/Wow64Redirection.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/shell/StartupTestSupport.h"

TEST(InstallActions, FailedCopyIsLoggedAndRegistersNoService)
{
    // A 32-bit test program sees the real drivers folder only this way.
    const CWow64RedirectionOff realSystemFolder;
    UninstallActions();
    // A folder where the driver file belongs makes the copy fail.
    DeleteFileW(DriverTargetPath().c_str());
    ASSERT_TRUE(CreateDirectoryW(DriverTargetPath().c_str(), nullptr))
        << "error " << GetLastError() << ", attributes " << GetFileAttributesW(DriverTargetPath().c_str());
    CLogRecorder recorder;
    EXPECT_EQ(InstallActions(), kDriverNotCopied);
    RemoveDirectoryW(DriverTargetPath().c_str());
    EXPECT_NE(recorder.NewText().find(L"Error:\tcould not copy zxq.sys\t(last error = "),
              std::wstring::npos);
    EXPECT_FALSE(QueryDriverService().exists);
}

TEST(UserAddressRepair, OnlyAddressesOnTheOldDomainMove)
{
    const struct
    {
        const wchar_t* stored;
        const wchar_t* expected;
    } cases[] = {
        {L"http://www.zentrix-old.test/results/42/en", L"http://www.tessarin.test/results/42/en"},
        {L"https://ZENTRIX-OLD.test/a?b=/c", L"https://www.tessarin.test/a?b=/c"},
        {L"http://zentrix-old.test", L"http://www.tessarin.test"},
        {L"http://www.tessarin.test/r/zentrix-old.test", L"http://www.tessarin.test/r/zentrix-old.test"},
        {L"www.zentrix-old.test/x", L"www.zentrix-old.test/x"},
        {L"", L""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Narrow(c.stored));
        EXPECT_EQ(MoveOffOldDomain(c.stored), c.expected);
    }
}
