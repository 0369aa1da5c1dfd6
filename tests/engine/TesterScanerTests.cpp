#include <windows.h>
#include <process.h>

#include <string>

#include <gtest/gtest.h>

#include "base/ScopedHandle.h"
#include "engine/suite/Tester.h"
#include "regscan/ScanTypes.h"

using namespace RegistryKelvadorLib;

namespace
{
// A file reference to a file that does not exist, in a key of its own.
class CBrokenFileReference
{
public:
    CBrokenFileReference() : m_path(L"Software\\TessarinTests\\ScanerRef_" + std::to_wstring(GetCurrentProcessId()))
    {
        const std::wstring missing = L"C:\\tessarin_missing\\program.exe";
        RegSetValueW(HKEY_CURRENT_USER, m_path.c_str(), REG_SZ, missing.c_str(), 0);
    }
    ~CBrokenFileReference() { RegDeleteKeyW(HKEY_CURRENT_USER, m_path.c_str()); }

private:
    std::wstring m_path;
};

struct ScanRun
{
    CRegistryScaner* scanner;
    CRegErrorContainer container;
};

unsigned __stdcall ScanOnThread(void* argument)
{
    auto* run = static_cast<ScanRun*>(argument);
    run->scanner->Scan(&run->container, nullptr);
    return 0;
}

// A tester whose scanner holds a file-reference scan that shares the
// tester's pause event, running on a thread of its own while paused. The
// pause goes through the scanner: the tester pauses only a run of its own.
class TesterScaner : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tester.GetRegistryScaner().AddScan(ScanTypeFileRefs);
        tester.CreateTests();
        tester.GetRegistryScaner().Pause();
        run.scanner = &tester.GetRegistryScaner();
        thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ScanOnThread, &run, 0, nullptr)));
        ASSERT_TRUE(thread);
    }
    void TearDown() override
    {
        tester.Resume();
        WaitForSingleObject(thread.Get(), INFINITE);
    }

    CBrokenFileReference reference;
    CTester tester{1};
    ScanRun run;
    CScopedHandle thread;
};
}

TEST_F(TesterScaner, PauseHoldsTheScanUntilResume)
{
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread.Get(), 300));
    tester.Resume();
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(thread.Get(), 60000));
    EXPECT_LE(1u, run.container.GetCount(ScanTypeFileRefs));
}

TEST_F(TesterScaner, StopTestsCancelsTheScan)
{
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread.Get(), 300));
    tester.StopTests();
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(thread.Get(), 60000));
    EXPECT_EQ(0u, run.container.GetCount(ScanTypeFileRefs));
}
