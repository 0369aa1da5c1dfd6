#pragma once
#include <windows.h>

#include "hardware/SMBus.h"
#include "hardware/SpdImage.h"

// The SPD EEPROM of one memory module slot, read whole at construction.
class CSPD : public CSMBus
{
public:
    // Slot n is SMBus device 0x50 + n, on the host given (none: searched
    // for this slot alone). Reads all 256 bytes, and for DDR4 the second
    // page of 256 too (page 0 selected again afterwards), and raises
    // std::runtime_error "Couldn't read SPD" when any read was flagged; the
    // errors of the SMBus and port layers pass through.
    explicit CSPD(unsigned slot, CSMBusHost* host = nullptr);

    // Module clock in MHz.
    WORD GetFrequency() const;
    void GetManufacturer(BYTE& bank, BYTE& code) const;
    // 4, 7, 8, 11, 12 or 0, fixed at construction.
    DWORD GetMemoryType() const { return m_memoryType; }
    const SpdImage& GetImage() const { return m_image; }

private:
    // Reads the 256 bytes of a page into its part of the image; false when
    // any read was flagged.
    bool ReadPage(unsigned page);

    SpdImage m_image{};
    DWORD m_memoryType = kSpdUnknown;
};
