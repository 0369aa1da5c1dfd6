#include "hardware/SPD.h"

#include <stdexcept>

namespace
{
const DWORD kFirstSpdAddress = 0x50;
}

CSPD::CSPD(unsigned slot, CSMBusHost* host) : CSMBus(kFirstSpdAddress + slot, host)
{
    // Every byte is tried even after one failed; a timeout ends it at once.
    bool allRead = true;
    for (size_t offset = 0; offset < m_image.size(); ++offset)
        allRead = ReadByte(static_cast<BYTE>(offset), m_image[offset]) && allRead;
    if (!allRead)
        throw std::runtime_error("Couldn't read SPD");
    m_memoryType = SpdMemoryTypeOf(m_image);
}

WORD CSPD::GetFrequency() const
{
    return SpdFrequency(m_image);
}

void CSPD::GetManufacturer(BYTE& bank, BYTE& code) const
{
    SpdManufacturer(m_image, bank, code);
}
