#include <gtest/gtest.h>

#include <string>

#include "hardware/HardwareErrors.h"
#include "hardware/IoPort.h"
#include "hardware/SPD.h"
#include "testbed/support/LogRecorder.h"
#include "tests/hardware/HardwareTestSupport.h"
#include "tests/hardware/StandInDriverTest.h"

namespace
{
StandInMachine Machine(const wchar_t* name, std::vector<BYTE> slots, DWORD faults = 0)
{
    StandInMachine machine;
    machine.machine = name;
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

// Nothing the tests did reached hardware it must not touch.
void ExpectNoForeignWrites(const wchar_t* machine)
{
    StandInCounts counts;
    ASSERT_TRUE(ReadStandInCounts(counts));
    EXPECT_EQ(counts.foreignWrites, 0u) << machine;
    EXPECT_EQ(counts.eepromWrites, 0u) << machine;
}
}

using SMBusThroughDriver = StandInDriverTest;
using SpdThroughDriver = StandInDriverTest;
using IoPortThroughDriver = StandInDriverTest;

// A host searches once: later slots get its base without the driver.
TEST_F(SMBusThroughDriver, HostKeepsTheBaseItFound)
{
    StartMachine(Machine(L"piix4", {MODULE_DDR2_800_2GB}));
    CSMBusHost host;
    EXPECT_EQ(host.GetBaseAddress(), 0x0C00u);
    RemoveDriver();
    EXPECT_EQ(host.GetBaseAddress(), 0x0C00u);
    EXPECT_THROW(CSPD(0, &host), EDriverHandleCreationError); // only the probe read needs the driver
}

TEST_F(SpdThroughDriver, EachModuleKindDecodes)
{
    StartMachine(Machine(L"ich5", {MODULE_DDR2_800_2GB, MODULE_DDR3_1333_4GB, MODULE_DDR_400_512MB,
                                   MODULE_SDRAM_133_256MB, MODULE_DDR4_2400_8GB}));
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
        // DDR4-2400, G.Skill: its maker is on the second page.
        {4, kSpdDdr4, 1200, L"4:205"},
    };
    CSMBusHost host;
    for (const Case& c : cases)
    {
        CSPD spd(c.slot, &host);
        EXPECT_EQ(spd.GetMemoryType(), c.type) << "slot " << c.slot;
        EXPECT_EQ(spd.GetFrequency(), c.megahertz) << "slot " << c.slot;
        EXPECT_EQ(ManufacturerOf(spd), c.manufacturer) << "slot " << c.slot;
        if (c.type != kSpdDdr4)
            EXPECT_EQ(spd.GetImage()[255], 0xFF) << "slot " << c.slot; // the whole image was read
        else
            EXPECT_EQ(spd.GetImage()[329], 'F'); // the part number, from page 1
    }
    // Page 0 is selected again.
    BYTE type = 0;
    EXPECT_TRUE(CSMBus(0x54, &host).ReadByte(2, type));
    EXPECT_EQ(type, kSpdDdr4);
    ExpectNoForeignWrites(L"ich5");
}

// The firmware takes the host every so often and reads its own sensor:
// neither its transactions nor the SPD reads between them are disturbed.
TEST_F(SpdThroughDriver, FirmwareTransactionsInterleaveUndisturbed)
{
    StartMachine(Machine(L"firmware-busy", {MODULE_DDR2_800_2GB, MODULE_DDR4_2400_8GB}));
    CSMBusHost host;
    const CSPD ddr2(0, &host);
    const CSPD ddr4(1, &host);
    EXPECT_EQ(ddr2.GetFrequency(), 400);
    EXPECT_EQ(ManufacturerOf(ddr2), L"1:152");
    EXPECT_EQ(ddr4.GetFrequency(), 1200);
    EXPECT_EQ(ManufacturerOf(ddr4), L"4:205");
    StandInCounts counts;
    ASSERT_TRUE(ReadStandInCounts(counts));
    EXPECT_GE(counts.firmwareTransactions, 10u);
    ExpectNoForeignWrites(L"firmware-busy");
}

TEST_F(SpdThroughDriver, FailuresRaiseTheirOwnErrors)
{
    StartMachine(Machine(L"piix4", {MODULE_EMPTY, MODULE_DDR2_800_2GB}));
    EXPECT_THROW(CSPD(0), ESMBusDeviceError); // empty slot: the probe read is flagged
    EXPECT_THROW(CSPD(7), ESMBusDeviceError);    // beyond the configured slots
    EXPECT_THROW(CSPD(8), EIoPortOperationError); // 0x58: the driver reads no device but SPD EEPROMs

    StartMachine(Machine(L"piix4", {MODULE_DDR2_800_2GB}, FAULT_FLAGGED_SPD_BYTES));
    EXPECT_EQ(SpdFailure(0), "Couldn't read SPD");

    StartMachine(Machine(L"pch", {MODULE_DDR2_800_2GB}, FAULT_BUSY_STATUS));
    EXPECT_THROW(CSPD(0), ESMBusDeviceError); // the status never clears
    ExpectNoForeignWrites(L"pch");

    // A host the firmware disables halfway: the driver looks before every
    // transaction and runs none on it.
    StartMachine(Machine(L"pch", {MODULE_DDR2_800_2GB}, FAULT_HOST_DISABLED_LATER));
    EXPECT_THROW(CSPD(0), EIoPortOperationError);
    ExpectNoForeignWrites(L"pch");

    RemoveDriver();
    EXPECT_THROW(CSPD(0), EDriverHandleCreationError);
    EXPECT_EQ(SpdFailure(0), "CreateFile has returned INVALID_HANDLE_VALUE");
}

TEST_F(IoPortThroughDriver, RefusedRequestRaisesPortError)
{
    StartMachine(Machine(L"piix4", {}));
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
    StartMachine(Machine(L"piix4", {}, FAULT_CLOSE_CONFIG_DATA));
    CLogRecorder log;
    const int handlesBefore = OpenHandleCount();

    EXPECT_NO_THROW({ CIoPort port(0xCFC, 4); });

    EXPECT_EQ(OpenHandleCount(), handlesBefore);
    EXPECT_EQ(log.Count(ErrorLine(L"I/O port operation failed: cannot close port 0xCFC")), 1);
}
