#include "hardware/SMBus.h"

#include "hardware/HardwareErrors.h"
#include "hardware/IoPort.h"
#include "hardware/SMBusSearch.h"

namespace
{
const DWORD kConfigAddressPort = 0xCF8;
const DWORD kConfigDataPort = 0xCFC;

const WORD kPollCount = 2048;

// Host status bits.
const DWORD kStatusCompleted = 0x02;
const DWORD kStatusDeviceError = 0x04;
// The in-use flag and everything above bit 7 do not count.
const DWORD kStatusRelevant = 0xBF;

// Host control values: start a byte-data or a byte transaction.
const DWORD kStartByteData = 0x48;
const DWORD kStartByte = 0x44;

// JEDEC's page selects of the 512-byte SPD EEPROMs: a send byte to 0x36
// selects page 0, to 0x37 page 1.
const DWORD kFirstPageSelectAddress = 0x36;

struct ConfigPorts
{
    CIoPort& address;
    CIoPort& data;
};

// One configuration register through the two configuration ports. A port
// error ends the search, which raises it again.
int ReadConfig(void* context, uint32_t configAddress, uint32_t* value)
{
    ConfigPorts& ports = *static_cast<ConfigPorts*>(context);
    try
    {
        ports.address.Write(configAddress);
        DWORD read = 0;
        ports.data.Read(read);
        *value = read;
        return 1;
    }
    catch (const EIoPortOperationError&)
    {
        return 0;
    }
}

// Searches PCI configuration space for the host controller through the
// driver; the configuration address is left at 0 afterwards.
bool SearchBaseAddress(DWORD& baseAddress)
{
    CIoPort address(kConfigAddressPort, 4);
    CIoPort data(kConfigDataPort, 4);
    ConfigPorts ports{address, data};
    SMBusController controller = {};
    const SMBusSearchResult result = SMBusSearch(&ReadConfig, &ports, &controller);
    if (result == SMBUS_SEARCH_FAILED)
        throw EIoPortOperationError();
    address.Write(0);
    if (result != SMBUS_SEARCH_FOUND)
        return false;
    baseAddress = controller.base;
    return true;
}
}

DWORD CSMBusHost::GetBaseAddress()
{
    if (m_state == State::kNotSearched)
        m_state = SearchBaseAddress(m_baseAddress) ? State::kFound : State::kAbsent;
    if (m_state == State::kAbsent)
        throw ESMBusBaseAddressGettingError();
    return m_baseAddress;
}

CSMBus::CSMBus(DWORD slaveAddress, CSMBusHost* host) : m_slaveAddress(slaveAddress)
{
    if (host)
        m_baseAddress = host->GetBaseAddress();
    else if (!FindBaseAddress())
        throw ESMBusBaseAddressGettingError();
    BYTE ignored = 0;
    if (!ReadByte(0, ignored))
        throw ESMBusDeviceError();
}

bool CSMBus::FindBaseAddress()
{
    return SearchBaseAddress(m_baseAddress);
}

bool CSMBus::ReadByte(BYTE offset, BYTE& value)
{
    return Transact((m_slaveAddress << 1) | 1, offset, kStartByteData, value);
}

bool CSMBus::SelectSpdPage(unsigned page)
{
    BYTE ignored = 0;
    return Transact((kFirstPageSelectAddress + page) << 1, 0, kStartByte, ignored);
}

bool CSMBus::Transact(DWORD slaveRegister, BYTE command, DWORD start, BYTE& value)
{
    CIoPort status(m_baseAddress + 0, 1);
    CIoPort control(m_baseAddress + 2, 1);
    CIoPort commandPort(m_baseAddress + 3, 1);
    CIoPort slave(m_baseAddress + 4, 1);
    CIoPort data(m_baseAddress + 5, 1);

    // Clear the status flags by writing back what is read, until nothing
    // that counts is left.
    if (!PollUntil(kPollCount, [&status] {
            DWORD current = 0;
            status.Read(current);
            status.Write(current);
            return (current & kStatusRelevant) == 0;
        }))
        throw ESMBusDeviceError();

    // A start runs the transaction at once with the registers as they are:
    // the slave address and the command go in first, then one start. A
    // start while a write address stands would write host data 0 into the
    // EEPROM.
    slave.Write(slaveRegister);
    commandPort.Write(command);
    control.Write(start);

    bool completed = true;
    if (!PollUntil(kPollCount, [&status, &completed] {
            DWORD current = 0;
            status.Read(current);
            completed = !(current & kStatusDeviceError);
            return !completed || (current & kStatusCompleted);
        }))
        throw ESMBusDeviceError();

    DWORD received = 0;
    data.Read(received);
    value = static_cast<BYTE>(received & 0xFF);
    return completed;
}

bool PollUntil(WORD polls, const std::function<bool()>& poll)
{
    for (WORD done = 0; done < polls; ++done)
        if (poll())
            return true;
    return false;
}
