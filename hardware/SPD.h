#pragma once
#include <windows.h>

#include "hardware/SMBus.h"
#include "hardware/SpdImage.h"

// The SPD EEPROM of one memory module slot, read whole at construction.
class CSPD : public CSMBus
{
public:
    // Slot n is SMBus device 0x50 + n, on the host given (none: searched
    // for this slot alone). Reads all 256 bytes and raises
    // std::runtime_error "Couldn't read SPD" when any read was flagged; the
    // errors of the SMBus and port layers pass through.
    explicit CSPD(unsigned slot, CSMBusHost* host = nullptr);

    // Module clock in MHz.
    WORD GetFrequency() const;
    void GetManufacturer(BYTE& bank, BYTE& code) const;
    // 4, 7, 8, 11 or 0, fixed at construction.
    DWORD GetMemoryType() const { return m_memoryType; }
    const SpdImage& GetImage() const { return m_image; }

private:
    SpdImage m_image{};
    DWORD m_memoryType = kSpdUnknown;
};
