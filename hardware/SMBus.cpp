#include "hardware/SMBus.h"

#include "hardware/HardwareErrors.h"
#include "hardware/IoPort.h"
#include "hardware/SMBusSearch.h"

namespace
{
const DWORD kConfigAddressPort = 0xCF8;
const DWORD kConfigDataPort = 0xCFC;

const DWORD kPollCount = 2048;

// Host status bits.
const DWORD kStatusCompleted = 0x02;
const DWORD kStatusDeviceError = 0x04;
// The in-use flag and everything above bit 7 do not count.
const DWORD kStatusRelevant = 0xBF;

// Host control value: start a byte-data transaction.
const DWORD kStartByteData = 0x48;

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
    uint32_t base = 0;
    const SMBusSearchResult result = SMBusSearch(&ReadConfig, &ports, &base);
    if (result == SMBUS_SEARCH_FAILED)
        throw EIoPortOperationError();
    address.Write(0);
    if (result != SMBUS_SEARCH_FOUND)
        return false;
    baseAddress = base;
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

    // A start runs the transaction at once with the registers as they are:
    // the read address and the offset go in first, then one start. A start
    // while a write address stands would write host data 0 into the EEPROM.
    slave.Write((m_slaveAddress << 1) | 1);
    command.Write(offset);
    control.Write(kStartByteData);

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
