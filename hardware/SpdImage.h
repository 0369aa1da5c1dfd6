#pragma once
#include <windows.h>
#include <array>

// The 256 bytes of a module's SPD EEPROM; byte n is SPD offset n.
using SpdImage = std::array<BYTE, 256>;

// SPD memory type codes the program tells apart; anything else is 0.
enum SpdMemoryType : DWORD
{
    kSpdUnknown = 0,
    kSpdSdram = 4,
    kSpdDdr = 7,
    kSpdDdr2 = 8,
    kSpdDdr3 = 11,
};

// SPD byte 9: the minimum cycle time at the highest CAS latency.
const size_t kSpdCycleTimeByte = 9;

// From SPD byte 2.
DWORD SpdMemoryTypeOf(const SpdImage& image);

// The module clock in MHz from the minimum cycle time (SPD byte 9): the
// high nibble is whole nanoseconds, the low nibble a fraction whose meaning
// depends on the type; types 0 and 11 use whole nanoseconds only. A cycle
// time of 0 gives 0.
WORD SpdFrequency(DWORD memoryType, BYTE cycleTime);

// The JEDEC manufacturer id in SPD bytes 64 to 71: bank = number of
// continuation codes (0x7F) before the code, at most 8 (code then byte 72).
void SpdManufacturer(const SpdImage& image, BYTE& bank, BYTE& code);
