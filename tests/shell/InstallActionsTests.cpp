#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "net/Settings.h"
#include "shell/Folders.h"
#include "shell/InstallActions.h"
#include "shell/UserAddressRepair.h"
#include "testbed/OsProbeRun.h"
#include "testbed/ProgramLog.h"
#include "tests/shell/ShellTestSupport.h"

namespace
{
// The driver file beside the test program that the install actions copy: a
// dummy one unless a real driver is there already.
class CDriverSource
{
public:
    CDriverSource() : m_created(!PathExists(DriverSourcePath()))
    {
        if (m_created)
            WriteBytes(DriverSourcePath(), "MZ stand-in for zxq.sys");
    }
    ~CDriverSource()
    {
        if (m_created)
            DeleteFileW(DriverSourcePath().c_str());
    }
    CDriverSource(const CDriverSource&) = delete;
    CDriverSource& operator=(const CDriverSource&) = delete;

    std::string Bytes() const { return ReadBytes(DriverSourcePath()); }

private:
    bool m_created;
};

struct ServiceConfig
{
    bool exists = false;
    DWORD type = 0;
    DWORD start = 0;
    DWORD errorControl = 0;
    std::wstring imagePath;
    std::wstring displayName;
};

ServiceConfig QueryDriverService()
{
    ServiceConfig config;
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, kDriverServiceName, SERVICE_QUERY_CONFIG) : nullptr;
    BYTE buffer[8192] = {};
    DWORD needed = 0;
    auto* queried = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
    if (service && QueryServiceConfigW(service, queried, sizeof(buffer), &needed))
    {
        config.exists = true;
        config.type = queried->dwServiceType;
        config.start = queried->dwStartType;
        config.errorControl = queried->dwErrorControl;
        config.imagePath = queried->lpBinaryPathName ? queried->lpBinaryPathName : L"";
        config.displayName = queried->lpDisplayName ? queried->lpDisplayName : L"";
    }
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    return config;
}

// No service and no driver file, before and after each test.
class InstallActionsTest : public ::testing::Test
{
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }

    static void Clean()
    {
        UninstallActions();
        DeleteFileW(DriverTargetPath().c_str());
        RemoveDirectoryW(DriverTargetPath().c_str());
    }

    CDriverSource m_source;
};

bool Contains(const std::wstring& text, const std::wstring& part)
{
    return text.find(part) != std::wstring::npos;
}
}

TEST_F(InstallActionsTest, InstallTwiceOverwritesAndReopensThenUninstallRemovesAll)
{
    const size_t logStart = ReadProgramLog().size();
    InstallActions();
    const ServiceConfig config = QueryDriverService();
    ASSERT_TRUE(config.exists);
    EXPECT_EQ(config.type, static_cast<DWORD>(SERVICE_KERNEL_DRIVER));
    EXPECT_EQ(config.start, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config.errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(config.imagePath, L"system32\\DRIVERS\\zxq.sys");
    EXPECT_EQ(config.displayName, L"zxq");
    EXPECT_EQ(ReadBytes(DriverTargetPath()), m_source.Bytes());

    // The second install finds the service and an older driver file.
    WriteBytes(DriverTargetPath(), "older driver");
    InstallActions();
    EXPECT_EQ(ReadBytes(DriverTargetPath()), m_source.Bytes());
    EXPECT_TRUE(QueryDriverService().exists);
    EXPECT_FALSE(Contains(ReadProgramLog().substr(logStart), L"Error:\t"));

    UninstallActions();
    EXPECT_FALSE(QueryDriverService().exists);
    EXPECT_FALSE(PathExists(DriverTargetPath()));
}

TEST_F(InstallActionsTest, FailedCopyIsLoggedAndRegistersNoService)
{
    ASSERT_TRUE(CreateDirectoryW(DriverTargetPath().c_str(), nullptr));
    const size_t logStart = ReadProgramLog().size();
    InstallActions();
    EXPECT_TRUE(Contains(ReadProgramLog().substr(logStart), L" Error:\tcould not copy zxq.sys\t(last error = "));
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

TEST(UserAddressRepair, StoredFileOnTheOldDomainReachesTheSettings)
{
    const struct
    {
        const char* name;
        bool fileExists;
        std::wstring stored;
        std::wstring expected;
    } cases[] = {
        {"old domain", true, L"http://www.zentrix-old.test/u/7/de", L"http://www.tessarin.test/u/7/de"},
        {"current domain", true, L"http://www.tessarin.test/u/7/de", L"<unchanged>"},
        {"no file", false, L"", L"<unchanged>"},
    };
    CScratchFolder folder;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::wstring path = folder / L"user_url";
        DeleteFileW(path.c_str());
        if (c.fileExists)
            WriteBytes(path, Utf16Bytes(c.stored) + std::string(2, '\0'));
        CSettings settings(folder / L"settings_url");
        settings.SetUrl(L"<unchanged>");
        RepairUserAddress(path, settings);
        EXPECT_EQ(settings.GetUrl(), c.expected);
    }
}
