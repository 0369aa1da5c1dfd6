#include "hardware/SPD.h"

#include <stdexcept>

#include "hardware/IoPort.h"

namespace
{
const DWORD kFirstSpdAddress = 0x50;

// Page 1 of the bus's 512-byte EEPROMs selected for as long as it lives,
// page 0 again when it goes. The driver keeps a process's page only while
// the process has a port open, and selects page 0 itself once it has
// none: the open port keeps page 1 across the byte reads.
class CSecondSpdPage
{
public:
    CSecondSpdPage(CSMBus& bus, DWORD anyHostRegister) : m_bus(bus), m_hold(anyHostRegister, 1)
    {
        m_selected = m_bus.SelectSpdPage(1);
    }
    ~CSecondSpdPage()
    {
        try
        {
            m_bus.SelectSpdPage(0);
        }
        catch (const std::runtime_error&)
        {
            // The driver selects page 0 when the held port closes.
        }
    }
    CSecondSpdPage(const CSecondSpdPage&) = delete;
    CSecondSpdPage& operator=(const CSecondSpdPage&) = delete;

    bool Selected() const { return m_selected; }

private:
    CSMBus& m_bus;
    CIoPort m_hold;
    bool m_selected = false;
};
}

CSPD::CSPD(unsigned slot, CSMBusHost* host) : CSMBus(kFirstSpdAddress + slot, host)
{
    bool allRead = ReadPage(0);
    if (allRead && SpdMemoryTypeOf(m_image) == kSpdDdr4)
    {
        CSecondSpdPage page(*this, GetBaseAddress());
        allRead = page.Selected() && ReadPage(1);
    }
    if (!allRead)
        throw std::runtime_error("Couldn't read SPD");
    m_memoryType = SpdMemoryTypeOf(m_image);
}

bool CSPD::ReadPage(unsigned page)
{
    // Every byte is tried even after one failed; a timeout ends it at once.
    bool allRead = true;
    for (size_t offset = 0; offset < kSpdPageSize; ++offset)
        allRead = ReadByte(static_cast<BYTE>(offset), m_image[page * kSpdPageSize + offset]) && allRead;
    return allRead;
}

WORD CSPD::GetFrequency() const
{
    return SpdFrequency(m_image);
}

void CSPD::GetManufacturer(BYTE& bank, BYTE& code) const
{
    SpdManufacturer(m_image, bank, code);
}
