#pragma once
#include <gtest/gtest.h>

#include <string>

#include "testbed/StandInDriver.h"
#include "testbed/standin_driver/Machine.h"

// Tests that talk to the stand-in port-I/O driver (zxq_standin.sys beside the test
// program) through the service control manager. Each test starts it with
// the machine it needs; the service is removed when the suite ends.
class StandInDriverTest : public ::testing::Test
{
protected:
    static void TearDownTestSuite();

    static void StartMachine(const StandInMachine& machine);
    static void RemoveDriver();
};
