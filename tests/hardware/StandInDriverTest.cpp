#include "tests/hardware/StandInDriverTest.h"

#include "shell/Folders.h"

void StandInDriverTest::TearDownTestSuite()
{
    RemoveDriver();
}

void StandInDriverTest::StartMachine(const StandInMachine& machine)
{
    std::wstring error;
    ASSERT_TRUE(StartStandInDriver(GetModuleFolder(nullptr) + L"\\zxq_standin.sys", &machine, error)) << error;
}

void StandInDriverTest::RemoveDriver()
{
    std::wstring error;
    ASSERT_TRUE(RemoveStandInDriver(error)) << error;
}
