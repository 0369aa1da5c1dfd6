#include "hardware/SMBus.h"

#include "hardware/HardwareErrors.h"
#include "hardware/IoPort.h"

namespace
{
const DWORD kConfigAddressPort = 0xCF8;
const DWORD kConfigDataPort = 0xCFC;
// Bus 0, device 0, function 0, register 0, with the enable bit.
const DWORD kFirstFunction = 0x80000000;
// The walk stops before bus 255, device 31, function 7.
const DWORD kLastFunction = 0x80FFFEFF;
const DWORD kNextFunction = 0x100;
const DWORD kNoFunction = 0xFFFFFFFF;
const DWORD kClassRegister = 0x08;
// Class 0x0C (serial bus), subclass 0x05 (SMBus), interface 0x00.
const DWORD kSMBusClass = 0x0C0500;
const DWORD kBaseRegisters[] = {0x10, 0x14, 0x18, 0x1C, 0x20, 0x24};

// Host controllers whose SMBus base sits in a register of their own,
// matched by device and vendor id before the class code is looked at.
struct KnownController
{
    DWORD id; // device id in the high word, vendor id in the low word
    DWORD baseRegister;
};
const KnownController kKnownControllers[] = {
    {0x71138086, 0x90}, {0x24D38086, 0x20}, {0x30501106, 0x80}, {0x30571106, 0x90},
    {0x740B1022, 0x58}, {0x74131022, 0x58}, {0x74431022, 0x58}, {0x746B1022, 0x58},
};

const DWORD kPollCount = 2048;

// Host status bits.
const DWORD kStatusCompleted = 0x02;
const DWORD kStatusDeviceError = 0x04;
// The in-use flag and everything above bit 7 do not count.
const DWORD kStatusRelevant = 0xBF;

// Host control values: start a byte, then a byte-data transaction.
const DWORD kStartByte = 0x44;
const DWORD kStartByteData = 0x48;

const KnownController* FindKnownController(DWORD id)
{
    for (const KnownController& controller : kKnownControllers)
        if (controller.id == id)
            return &controller;
    return nullptr;
}

// One configuration register through the two configuration ports.
DWORD ReadConfig(CIoPort& address, CIoPort& data, DWORD configAddress)
{
    address.Write(configAddress);
    DWORD value = 0;
    data.Read(value);
    return value;
}
}

CSMBus::CSMBus(DWORD slaveAddress) : m_slaveAddress(slaveAddress)
{
    if (!FindBaseAddress())
        throw ESMBusBaseAddressGettingError();
    BYTE ignored = 0;
    if (!ReadByte(0, ignored))
        throw ESMBusDeviceError();
}

bool CSMBus::FindBaseAddress()
{
    CIoPort address(kConfigAddressPort, 4);
    CIoPort data(kConfigDataPort, 4);

    for (DWORD function = kFirstFunction; function <= kLastFunction; function += kNextFunction)
    {
        DWORD value = ReadConfig(address, data, function & 0xFFFFFF00);
        if (value == kNoFunction)
            continue;

        if (const KnownController* known = FindKnownController(value))
        {
            value = ReadConfig(address, data, function + known->baseRegister);
        }
        else
        {
            if ((ReadConfig(address, data, function + kClassRegister) >> 8) != kSMBusClass)
                continue;
            // The first base register that holds an address; failing that,
            // the last one read stands.
            for (DWORD baseRegister : kBaseRegisters)
            {
                value = ReadConfig(address, data, function + baseRegister);
                if ((value & 0xFFFFFFF0) != 0)
                    break;
            }
        }
        // Bit 0 marks an I/O-space base.
        m_baseAddress = value & 0x0FFFFFFE;
        address.Write(0);
        return true;
    }
    address.Write(0);
    return false;
}

bool CSMBus::ReadByte(BYTE offset, BYTE& value)
{
    CIoPort status(m_baseAddress + 0, 1);
    CIoPort control(m_baseAddress + 2, 1);
    CIoPort command(m_baseAddress + 3, 1);
    CIoPort slave(m_baseAddress + 4, 1);
    CIoPort data(m_baseAddress + 5, 1);

    // Clear the status flags by writing back what is read, until nothing
    // that counts is left.
    WORD counter = kPollCount;
    DWORD remembered = 0xFFFFFFFF;
    while (counter != 0 && remembered != 0)
    {
        DWORD current = 0;
        status.Read(current);
        status.Write(current);
        remembered = current & kStatusRelevant;
        --counter;
    }
    if (counter == 0)
        throw ESMBusDeviceError();

    control.Write(kStartByte);
    slave.Write(m_slaveAddress << 1);
    command.Write(offset);
    control.Write(kStartByteData);
    slave.Write((m_slaveAddress << 1) | 1);

    bool completed = true;
    counter = kPollCount;
    while (counter != 0)
    {
        DWORD current = 0;
        status.Read(current);
        if (current & kStatusDeviceError)
        {
            completed = false;
            break;
        }
        if (current & kStatusCompleted)
            break;
        --counter;
    }
    if (counter == 0)
        throw ESMBusDeviceError();

    DWORD received = 0;
    data.Read(received);
    value = static_cast<BYTE>(received & 0xFF);
    return completed;
}
