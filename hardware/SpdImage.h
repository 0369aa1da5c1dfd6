#pragma once
#include <windows.h>
#include <array>

// A module's SPD EEPROM; byte n is SPD offset n. The older types fill the
// first 256 bytes, DDR4 all 512 (two pages of 256).
const size_t kSpdPageSize = 256;
using SpdImage = std::array<BYTE, 2 * kSpdPageSize>;

// SPD memory type codes the program tells apart; anything else is 0.
enum SpdMemoryType : DWORD
{
    kSpdUnknown = 0,
    kSpdSdram = 4,
    kSpdDdr = 7,
    kSpdDdr2 = 8,
    kSpdDdr3 = 11,
    kSpdDdr4 = 12,
};

// From SPD byte 2.
DWORD SpdMemoryTypeOf(const SpdImage& image);

// The module clock in MHz (half the data rate), from the minimum cycle time.
// DDR4 keeps it in byte 18 in medium-time-base units with a signed
// correction in byte 125 in fine-time-base units (byte 17 names the bases;
// only 125 ps and 1 ps are defined, any other gives 0). DDR3 keeps it in byte 12 in medium-time-base units (byte 10 / byte 11 ns)
// with a signed correction in byte 34 in fine-time-base units (byte 9: high
// nibble / low nibble ps); a cycle time that is undefined or shorter than
// the clock can express gives 0. The older types keep it in byte 9: the
// high nibble is whole nanoseconds, the low nibble a fraction whose meaning
// depends on the type; an unknown type uses whole nanoseconds only, and a
// cycle time of 0 gives 0.
WORD SpdFrequency(const SpdImage& image);

// The JEDEC manufacturer id: bank = number of continuation codes, code =
// the id byte. DDR3 keeps the count in bits 0-6 of byte 117 and the code in
// byte 118, DDR4 the same in bytes 320 and 321; the older types a run of continuation codes (0x7F) in bytes 64
// to 71 before the code, at most 8 (code then byte 72).
void SpdManufacturer(const SpdImage& image, BYTE& bank, BYTE& code);
