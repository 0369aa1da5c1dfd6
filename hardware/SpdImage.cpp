#include "hardware/SpdImage.h"

namespace
{
const size_t kTypeByte = 2;

// Before DDR3: the cycle time in byte 9, the manufacturer in bytes 64-71.
const size_t kCycleTimeByte = 9;
const size_t kFirstManufacturerByte = 64;
const size_t kLastManufacturerByte = 71;
const BYTE kContinuationCode = 0x7F;

// DDR3.
const size_t kDdr3FineTimeBaseByte = 9;
const size_t kDdr3MediumTimeBaseDividendByte = 10;
const size_t kDdr3MediumTimeBaseDivisorByte = 11;
const size_t kDdr3MinimumCycleTimeByte = 12;
const size_t kDdr3CycleTimeCorrectionByte = 34;
const size_t kDdr3ContinuationCountByte = 117;
const size_t kDdr3ManufacturerCodeByte = 118;
const BYTE kContinuationCountMask = 0x7F; // DDR3, DDR4: bit 7 is parity

// DDR4 (JEDEC 21-C 4.1.2.L-4, Annex L).
const size_t kDdr4TimeBasesByte = 17;
const size_t kDdr4MinimumCycleTimeByte = 18;
const size_t kDdr4CycleTimeCorrectionByte = 125;
const size_t kDdr4ContinuationCountByte = 320;
const size_t kDdr4ManufacturerCodeByte = 321;
const LONGLONG kDdr4MediumTimeBasePs = 125;

double CycleFraction(DWORD memoryType, BYTE lowNibble)
{
    if (memoryType == kSpdDdr2)
    {
        // DDR2 codes quarter, third and eighth steps in 0xA to 0xE.
        switch (lowNibble)
        {
        case 0xA: return 0.25;
        case 0xB: return 0.33;
        case 0xC: return 0.66;
        case 0xD: return 0.75;
        case 0xE: return 0.875;
        default: return lowNibble / 10.0;
        }
    }
    if (memoryType == kSpdSdram || memoryType == kSpdDdr)
        return lowNibble / 10.0;
    return 0;
}

WORD FrequencyFromByte9(DWORD memoryType, BYTE cycleTime)
{
    const double nanoseconds = (cycleTime >> 4) + CycleFraction(memoryType, cycleTime & 0x0F);
    if (nanoseconds == 0)
        return 0;
    return static_cast<WORD>(static_cast<INT32>(1 / nanoseconds * 1000));
}

// Worked in whole fractions so that the usual speeds come out exact: with
// the medium time base m = a / b ns and the fine time base f = c / d ps,
// tCK = (n a / b) ns + (k c / d) ps = (1000 n a d + k c b) / (1000 b d) ns,
// and the clock is 1000 / tCK MHz.
WORD Ddr3Frequency(const SpdImage& image)
{
    const LONGLONG mediumDividend = image[kDdr3MediumTimeBaseDividendByte];
    const LONGLONG mediumDivisor = image[kDdr3MediumTimeBaseDivisorByte];
    LONGLONG fineDividend = image[kDdr3FineTimeBaseByte] >> 4;
    LONGLONG fineDivisor = image[kDdr3FineTimeBaseByte] & 0x0F;
    if (fineDivisor == 0)
    {
        // No fine time base: the correction cannot count.
        fineDividend = 0;
        fineDivisor = 1;
    }
    const LONGLONG units = image[kDdr3MinimumCycleTimeByte];
    const LONGLONG correction = static_cast<signed char>(image[kDdr3CycleTimeCorrectionByte]);
    const LONGLONG numerator = 1000 * units * mediumDividend * fineDivisor + correction * fineDividend * mediumDivisor;
    const LONGLONG denominator = 1000 * mediumDivisor * fineDivisor;
    if (mediumDivisor == 0 || numerator <= 0)
        return 0;
    const LONGLONG megahertz = 1000 * denominator / numerator;
    return megahertz <= 0xFFFF ? static_cast<WORD>(megahertz) : 0;
}

// Byte 17 = 0 names the only defined bases, 125 ps and 1 ps: tCK = (125 n
// + k) ps, the clock 1,000,000 / tCK MHz.
WORD Ddr4Frequency(const SpdImage& image)
{
    if (image[kDdr4TimeBasesByte] != 0)
        return 0;
    const LONGLONG picoseconds = kDdr4MediumTimeBasePs * image[kDdr4MinimumCycleTimeByte]
                                 + static_cast<signed char>(image[kDdr4CycleTimeCorrectionByte]);
    if (picoseconds <= 0)
        return 0;
    const LONGLONG megahertz = 1000000 / picoseconds;
    return megahertz <= 0xFFFF ? static_cast<WORD>(megahertz) : 0;
}
}

DWORD SpdMemoryTypeOf(const SpdImage& image)
{
    switch (image[kTypeByte])
    {
    case kSpdSdram:
    case kSpdDdr:
    case kSpdDdr2:
    case kSpdDdr3:
    case kSpdDdr4:
        return image[kTypeByte];
    default:
        return kSpdUnknown;
    }
}

WORD SpdFrequency(const SpdImage& image)
{
    const DWORD memoryType = SpdMemoryTypeOf(image);
    if (memoryType == kSpdDdr4)
        return Ddr4Frequency(image);
    if (memoryType == kSpdDdr3)
        return Ddr3Frequency(image);
    return FrequencyFromByte9(memoryType, image[kCycleTimeByte]);
}

void SpdManufacturer(const SpdImage& image, BYTE& bank, BYTE& code)
{
    const DWORD memoryType = SpdMemoryTypeOf(image);
    if (memoryType == kSpdDdr3 || memoryType == kSpdDdr4)
    {
        const bool ddr4 = memoryType == kSpdDdr4;
        bank = image[ddr4 ? kDdr4ContinuationCountByte : kDdr3ContinuationCountByte] & kContinuationCountMask;
        code = image[ddr4 ? kDdr4ManufacturerCodeByte : kDdr3ManufacturerCodeByte];
        return;
    }
    size_t index = kFirstManufacturerByte;
    while (index <= kLastManufacturerByte && image[index] == kContinuationCode)
        ++index;
    bank = static_cast<BYTE>(index - kFirstManufacturerByte);
    code = image[index];
}
