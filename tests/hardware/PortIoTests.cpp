#include <gtest/gtest.h>

#include <string>

#include "hardware/HardwareErrors.h"
#include "hardware/IoPort.h"
#include "hardware/SPD.h"
#include "testbed/ProgramLog.h"
#include "tests/hardware/HardwareTestSupport.h"
#include "tests/hardware/StandInDriverTest.h"

namespace
{
StandInMachine Machine(DWORD controller, std::vector<BYTE> slots, DWORD faults = 0)
{
    StandInMachine machine;
    machine.controller = controller;
    machine.slots = std::move(slots);
    machine.faults = faults;
    return machine;
}

std::wstring ManufacturerOf(const CSPD& spd)
{
    BYTE bank = 0;
    BYTE code = 0;
    spd.GetManufacturer(bank, code);
    return std::to_wstring(bank) + L":" + std::to_wstring(code);
}

// Handles open in this process, found by probing the handle values (Wine's
// GetProcessHandleCount does not count them).
int OpenHandleCount()
{
    int count = 0;
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    return count;
}

// The what() text of what constructing a CSPD for slot raises.
std::string SpdFailure(unsigned slot)
{
    try
    {
        CSPD spd(slot);
    }
    catch (const std::runtime_error& error)
    {
        return error.what();
    }
    return "nothing raised";
}
}

using SMBusThroughDriver = StandInDriverTest;
using SpdThroughDriver = StandInDriverTest;
using IoPortThroughDriver = StandInDriverTest;

TEST_F(SMBusThroughDriver, BaseAddressOfEachKindOfController)
{
    struct Case
    {
        DWORD controller;
        DWORD base;
        bool hostRegistersOpen;
    };
    const Case cases[] = {
        // Listed: its own register even though its class code is a bridge's.
        {CONTROLLER_KNOWN, 0x0C00, true},
        // SMBus class: the first base register with an address, not the last.
        {CONTROLLER_BY_CLASS, 0x0400, true},
        // No base register holds an address: the last one's value stands.
        // The driver opens no ports there, among the DMA controller's.
        {CONTROLLER_LOW_BARS, 0x0008, false},
    };
    for (const Case& c : cases)
    {
        StartMachine(Machine(c.controller, {MODULE_DDR2_800_2GB}));
        try
        {
            CSMBusHost host;
            EXPECT_EQ(host.GetBaseAddress(), c.base) << "controller " << c.controller;
            if (!c.hostRegistersOpen)
            {
                EXPECT_THROW(CSMBus(0x50, &host), EIoPortOperationError) << "controller " << c.controller;
                continue;
            }
            // The probe read already goes to the registers at the base found.
            CSMBus bus(0x50, &host);
            EXPECT_EQ(bus.GetBaseAddress(), c.base) << "controller " << c.controller;
            BYTE type = 0;
            EXPECT_TRUE(bus.ReadByte(2, type));
            EXPECT_EQ(type, kSpdDdr2);
            // Searching again for one object alone finds the same.
            EXPECT_EQ(CSMBus(0x50).GetBaseAddress(), c.base) << "controller " << c.controller;
        }
        catch (const std::runtime_error& error)
        {
            ADD_FAILURE() << "controller " << c.controller << ": " << error.what();
        }
    }
}

// A host searches once: later slots get its base without the driver.
TEST_F(SMBusThroughDriver, HostKeepsTheBaseItFound)
{
    StartMachine(Machine(CONTROLLER_KNOWN, {MODULE_DDR2_800_2GB}));
    CSMBusHost host;
    EXPECT_EQ(host.GetBaseAddress(), 0x0C00u);
    RemoveDriver();
    EXPECT_EQ(host.GetBaseAddress(), 0x0C00u);
    EXPECT_THROW(CSPD(0, &host), EDriverHandleCreationError); // only the probe read needs the driver
}

TEST_F(SpdThroughDriver, EachModuleKindDecodes)
{
    StartMachine(Machine(CONTROLLER_KNOWN, {MODULE_DDR2_800_2GB, MODULE_DDR3_1333_4GB, MODULE_DDR_400_512MB,
                                            MODULE_SDRAM_133_256MB}));
    struct Case
    {
        unsigned slot;
        DWORD type;
        WORD megahertz;
        const wchar_t* manufacturer;
    };
    const Case cases[] = {
        {0, kSpdDdr2, 400, L"1:152"},
        // DDR3-1333 (1.5 ns), Samsung: from the bytes DDR3 keeps them in.
        {1, kSpdDdr3, 666, L"0:206"},
        {2, kSpdDdr, 200, L"2:158"},
        {3, kSpdSdram, 133, L"0:44"},
    };
    for (const Case& c : cases)
    {
        CSPD spd(c.slot);
        EXPECT_EQ(spd.GetMemoryType(), c.type) << "slot " << c.slot;
        EXPECT_EQ(spd.GetFrequency(), c.megahertz) << "slot " << c.slot;
        EXPECT_EQ(ManufacturerOf(spd), c.manufacturer) << "slot " << c.slot;
        EXPECT_EQ(spd.GetImage()[255], 0xFF) << "slot " << c.slot; // the whole image was read
    }
    // A start with a write address in place would have stored host data 0.
    DWORD eepromWrites = 0;
    ASSERT_TRUE(ReadStandInEepromWrites(eepromWrites));
    EXPECT_EQ(eepromWrites, 0u);
}

TEST_F(SpdThroughDriver, InUseFlagCountsAsClearStatus)
{
    StartMachine(Machine(CONTROLLER_KNOWN, {MODULE_DDR2_800_2GB}, FAULT_IN_USE_STATUS));
    CSPD spd(0);
    EXPECT_EQ(spd.GetFrequency(), 400);
}

TEST_F(SpdThroughDriver, FailuresRaiseTheirOwnErrors)
{
    StartMachine(Machine(CONTROLLER_KNOWN, {MODULE_EMPTY, MODULE_DDR2_800_2GB}));
    EXPECT_THROW(CSPD(0), ESMBusDeviceError); // empty slot: the probe read is flagged
    EXPECT_THROW(CSPD(9), ESMBusDeviceError); // beyond the configured slots

    StartMachine(Machine(CONTROLLER_KNOWN, {MODULE_DDR2_800_2GB}, FAULT_FLAGGED_SPD_BYTES));
    EXPECT_EQ(SpdFailure(0), "Couldn't read SPD");

    StartMachine(Machine(CONTROLLER_KNOWN, {MODULE_DDR2_800_2GB}, FAULT_BUSY_STATUS));
    EXPECT_THROW(CSPD(0), ESMBusDeviceError); // the status never clears

    RemoveDriver();
    EXPECT_THROW(CSPD(0), EDriverHandleCreationError);
    EXPECT_EQ(SpdFailure(0), "CreateFile has returned INVALID_HANDLE_VALUE");
}

TEST_F(IoPortThroughDriver, RefusedRequestRaisesPortError)
{
    StartMachine(Machine(CONTROLLER_KNOWN, {}));
    EXPECT_THROW(CIoPort(0xCF8, 2), EIoPortOperationError); // width 2 is refused
    EXPECT_THROW(CIoPort(0x80, 1), EIoPortOperationError);  // so is any port the memory test does not use
    CIoPort port(0xCF8, 4);
    DWORD value = 0;
    port.Write(0x80000000);
    port.Read(value);
    EXPECT_EQ(value, 0x80000000u);
}

// A close the driver refuses is logged, never raised, and the device handle
// is closed all the same.
TEST_F(IoPortThroughDriver, FailedCloseIsLoggedAndTheHandleClosed)
{
    StartMachine(Machine(CONTROLLER_KNOWN, {}, FAULT_CLOSE_CONFIG_DATA));
    CProgramLogTail log;
    const int handlesBefore = OpenHandleCount();

    EXPECT_NO_THROW({ CIoPort port(0xCFC, 4); });

    EXPECT_EQ(OpenHandleCount(), handlesBefore);
    EXPECT_EQ(log.Count(ErrorLine(L"I/O port operation failed: cannot close port 0xCFC")), 1);
}
