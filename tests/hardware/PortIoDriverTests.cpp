// What the port-I/O driver's request layer allows, through the stand-in
// (the shipped request layer over the emulated machine), with the raw
// requests a caller other than the program could send.
#include <gtest/gtest.h>

#include "base/ScopedHandle.h"
#include "hardware/PortIoRequests.h"
#include "tests/hardware/StandInDriverTest.h"

namespace
{
const DWORD kNoError = 0;
// Where the PIIX4's host registers start, and where an ACPI-style host
// of another machine sits.
const DWORD kKnownBase = 0x0C00;
const DWORD kByClassBase = 0x0400;

void ExpectNoForeignWrites()
{
    StandInCounts counts;
    ASSERT_TRUE(ReadStandInCounts(counts));
    EXPECT_EQ(counts.foreignWrites, 0u);
    EXPECT_EQ(counts.eepromWrites, 0u);
}

// One handle to the driver's device and the requests sent through it, each
// answered with the Windows error it ended in (0 for success).
class CDeviceHandle
{
public:
    CDeviceHandle()
        : m_device(AdoptFileHandle(CreateFileW(L"\\\\.\\PortIo", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                               nullptr, OPEN_EXISTING, 0, nullptr)))
    {
    }

    bool IsOpen() const { return static_cast<bool>(m_device); }
    void Close() { m_device.Reset(); }

    DWORD Open(DWORD port, DWORD width, DWORD& token)
    {
        const DWORD request[3] = {port, width, 1};
        return Send(PORT_IO_OPEN, request, sizeof(request), &token, sizeof(token));
    }
    DWORD Read(DWORD token, DWORD& value)
    {
        const DWORD request[2] = {token, 0};
        return Send(PORT_IO_READ, request, sizeof(request), &value, sizeof(value));
    }
    DWORD Write(DWORD token, DWORD value)
    {
        const DWORD request[3] = {token, 0, value};
        return Send(PORT_IO_WRITE, request, sizeof(request), nullptr, 0);
    }
    DWORD ClosePort(DWORD token) { return Send(PORT_IO_CLOSE, &token, sizeof(token), nullptr, 0); }

private:
    DWORD Send(DWORD code, const void* input, DWORD inputSize, void* output, DWORD outputSize)
    {
        DWORD returned = 0;
        if (DeviceIoControl(m_device.Get(), code, const_cast<void*>(input), inputSize, output, outputSize, &returned,
                            nullptr))
            return kNoError;
        return GetLastError();
    }

    CScopedHandle m_device;
};
}

class PortIoDriver : public StandInDriverTest
{
protected:
    void SetUp() override
    {
        StandInMachine machine;
        machine.machine = L"piix4";
        machine.slots = {MODULE_DDR2_800_2GB};
        StartMachine(machine);
        device = CDeviceHandle();
        ASSERT_TRUE(device.IsOpen());
    }

    CDeviceHandle device;
};

TEST_F(PortIoDriver, OpensOnlyTheConfigurationPortsAndTheControllersHostRegisters)
{
    struct Case
    {
        DWORD port;
        DWORD width;
        DWORD error;
    };
    const Case cases[] = {
        {0xCF8, 4, kNoError},
        {0xCFC, 4, kNoError},
        {kKnownBase + 0, 1, kNoError}, // host status
        {kKnownBase + 5, 1, kNoError}, // host data 0
        // The configuration ports at any other width, their neighbours.
        {0xCF8, 1, ERROR_ACCESS_DENIED},
        {0xCFC, 1, ERROR_ACCESS_DENIED},
        {0xCF9, 1, ERROR_ACCESS_DENIED}, // reset control
        {0xCF4, 4, ERROR_ACCESS_DENIED},
        {0xD00, 4, ERROR_ACCESS_DENIED},
        // Past the host registers, below them, or at width 4.
        {kKnownBase + 6, 1, ERROR_ACCESS_DENIED},
        {kKnownBase - 1, 1, ERROR_ACCESS_DENIED},
        {kKnownBase, 4, ERROR_ACCESS_DENIED},
        // Another controller's registers, the board's fixed devices.
        {kByClassBase, 1, ERROR_ACCESS_DENIED},
        {0x60, 1, ERROR_ACCESS_DENIED},
        {0x80, 1, ERROR_ACCESS_DENIED},
        {0x70, 1, ERROR_ACCESS_DENIED},
        {0x10000 + 0xCF8, 4, ERROR_ACCESS_DENIED},
        {0xFFFFFFFF, 1, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases)
    {
        DWORD token = 0;
        EXPECT_EQ(device.Open(c.port, c.width, token), c.error)
            << "port 0x" << std::hex << c.port << ", width " << std::dec << c.width;
        EXPECT_EQ(token != 0, c.error == kNoError) << "port 0x" << std::hex << c.port;
    }
}

// Ports a search that took any base register would have opened: the AMD
// power-management block, an ACPI-style host, a memory BAR's low bits (the
// graphics card's ports), the upper half of a 64-bit memory BAR.
TEST_F(PortIoDriver, OpensNoHostRegistersOfAnUnknownLayoutOrOutsideAnIoBar)
{
    struct Case
    {
        const wchar_t* machine;
        DWORD base;
    };
    const Case cases[] = {{L"none", kKnownBase},
                          {L"amd756", 0xE400},
                          {L"amd756", 0xE4E0},
                          {L"acpi-smbus", kByClassBase},
                          {L"memory-bar", 0xE000},
                          {L"pch", 0x0400}};
    device.Close(); // the driver restarts with each machine
    for (const Case& c : cases)
    {
        StandInMachine machine;
        machine.machine = c.machine;
        StartMachine(machine);
        CDeviceHandle handle;
        for (DWORD offset = 0; offset < 6; ++offset)
        {
            DWORD token = 0;
            EXPECT_EQ(handle.Open(c.base + offset, 1, token), static_cast<DWORD>(ERROR_ACCESS_DENIED))
                << c.machine << ", port 0x" << std::hex << c.base + offset;
        }
        DWORD token = 0;
        EXPECT_EQ(handle.Open(0xCF8, 4, token), kNoError) << c.machine;
    }
}

// The configuration address is the process's, kept by the driver: another
// handle of the same process reads with it, and nothing reaches the
// configuration ports.
TEST_F(PortIoDriver, ConfigurationAddressBelongsToTheProcess)
{
    DWORD address = 0;
    ASSERT_EQ(device.Open(0xCF8, 4, address), kNoError);
    ASSERT_EQ(device.Write(address, 0x80003B08), kNoError); // 0:7.3, class register
    CDeviceHandle other;
    DWORD data = 0;
    DWORD otherAddress = 0;
    ASSERT_EQ(other.Open(0xCFC, 4, data), kNoError);
    ASSERT_EQ(other.Open(0xCF8, 4, otherAddress), kNoError);
    DWORD value = 0;
    EXPECT_EQ(other.Read(otherAddress, value), kNoError);
    EXPECT_EQ(value, 0x80003B08u);
    EXPECT_EQ(other.Read(data, value), kNoError);
    EXPECT_EQ(value, 0x06800002u); // the PIIX4 function's class code
    ASSERT_EQ(device.Write(address, 0x00003B08), kNoError); // enable bit clear: no configuration cycle
    EXPECT_EQ(other.Read(data, value), kNoError);
    EXPECT_EQ(value, 0xFFFFFFFFu);
    ExpectNoForeignWrites();
}

TEST_F(PortIoDriver, ConfigurationDataIsReadOnly)
{
    DWORD address = 0;
    DWORD data = 0;
    ASSERT_EQ(device.Open(0xCF8, 4, address), kNoError);
    ASSERT_EQ(device.Open(0xCFC, 4, data), kNoError);
    ASSERT_EQ(device.Write(address, 0x80000000), kNoError);

    EXPECT_EQ(device.Write(data, 0x12345678), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    DWORD value = 0;
    EXPECT_EQ(device.Read(data, value), kNoError);
    EXPECT_EQ(value, 0x29C08086u); // the host bridge's ids, unchanged
}

// A start runs the transaction with the slave address as it stands, so only
// reads may start; host data 0 goes out only with writes.
TEST_F(PortIoDriver, LetsTheHostStartOnlyReads)
{
    const DWORD kControl = kKnownBase + 2;
    const DWORD kSlaveAddress = kKnownBase + 4;
    const DWORD kData0 = kKnownBase + 5;
    const DWORD kWriteAddress = 0x50 << 1; // slot 0's EEPROM
    const DWORD kReadAddress = kWriteAddress | 1;
    struct Case
    {
        DWORD slaveAddress; // in place before the write
        DWORD port;
        DWORD value;
        DWORD error;
    };
    const Case cases[] = {
        {kReadAddress, kControl, 0x48, kNoError},             // byte-data read
        {kReadAddress, kControl, 0x44, kNoError},             // receive byte
        {kWriteAddress, kControl, 0x48, ERROR_ACCESS_DENIED}, // write byte data
        {kWriteAddress, kControl, 0x44, ERROR_ACCESS_DENIED}, // send byte
        {kWriteAddress, kControl, 0x08, kNoError},            // no start
        // Protocols that write whatever the address says.
        {kReadAddress, kControl, 0x4C, ERROR_ACCESS_DENIED}, // process call
        {kReadAddress, kControl, 0x54, ERROR_ACCESS_DENIED}, // block
        {kReadAddress, kData0, 0x00, ERROR_ACCESS_DENIED},
        {kWriteAddress, kData0, 0x00, ERROR_ACCESS_DENIED},
        // Only SPD EEPROMs are read, and only JEDEC's two page selects sent.
        {0x2E << 1 | 1, kControl, 0x48, ERROR_ACCESS_DENIED},
        {0x58 << 1 | 1, kControl, 0x48, ERROR_ACCESS_DENIED},
        {0x36 << 1, kControl, 0x44, kNoError},
        {0x37 << 1, kControl, 0x44, kNoError},
        {0x36 << 1, kControl, 0x48, ERROR_ACCESS_DENIED},
        {0x35 << 1, kControl, 0x44, ERROR_ACCESS_DENIED},
        {0x38 << 1, kControl, 0x44, ERROR_ACCESS_DENIED},
        {0x36 << 1 | 1, kControl, 0x44, ERROR_ACCESS_DENIED},
    };
    DWORD slaveAddress = 0;
    ASSERT_EQ(device.Open(kSlaveAddress, 1, slaveAddress), kNoError);
    for (const Case& c : cases)
    {
        DWORD token = 0;
        ASSERT_EQ(device.Open(c.port, 1, token), kNoError);
        ASSERT_EQ(device.Write(slaveAddress, c.slaveAddress), kNoError);
        EXPECT_EQ(device.Write(token, c.value), c.error) << "slave address 0x" << std::hex << c.slaveAddress
                                                         << ", port 0x" << c.port << " = 0x" << c.value;
        EXPECT_EQ(device.ClosePort(token), kNoError);
    }
    ExpectNoForeignWrites();
}

TEST_F(PortIoDriver, TokensWorkOnlyThroughTheHandleThatOpenedThem)
{
    DWORD token = 0;
    ASSERT_EQ(device.Open(0xCF8, 4, token), kNoError);
    CDeviceHandle other;
    ASSERT_TRUE(other.IsOpen());

    DWORD value = 0;
    EXPECT_NE(other.Read(token, value), kNoError);
    EXPECT_NE(other.Write(token, 0x80000000), kNoError);
    EXPECT_NE(other.ClosePort(token), kNoError);

    // Still open for its own handle.
    EXPECT_EQ(device.Write(token, 0x80000100), kNoError);
    EXPECT_EQ(device.Read(token, value), kNoError);
    EXPECT_EQ(value, 0x80000100u);
    EXPECT_EQ(device.ClosePort(token), kNoError);
}

// The driver keeps 256 open ports in all: once one handle holds them all,
// another gets none until that handle is closed.
TEST_F(PortIoDriver, ClosingAHandleReleasesItsPorts)
{
    const int kOpenPortLimit = 256;
    int opened = 0;
    DWORD token = 0;
    while (opened <= kOpenPortLimit && device.Open(0xCF8, 4, token) == kNoError)
        ++opened;
    ASSERT_EQ(opened, kOpenPortLimit);
    CDeviceHandle other;
    EXPECT_NE(other.Open(0xCF8, 4, token), kNoError);

    device.Close();
    EXPECT_EQ(other.Open(0xCF8, 4, token), kNoError);
}
