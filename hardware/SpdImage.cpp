#include "hardware/SpdImage.h"

namespace
{
const size_t kTypeByte = 2;
const size_t kFirstManufacturerByte = 64;
const size_t kLastManufacturerByte = 71;
const BYTE kContinuationCode = 0x7F;

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
}

DWORD SpdMemoryTypeOf(const SpdImage& image)
{
    switch (image[kTypeByte])
    {
    case kSpdSdram:
    case kSpdDdr:
    case kSpdDdr2:
    case kSpdDdr3:
        return image[kTypeByte];
    default:
        return kSpdUnknown;
    }
}

WORD SpdFrequency(DWORD memoryType, BYTE cycleTime)
{
    const double nanoseconds = (cycleTime >> 4) + CycleFraction(memoryType, cycleTime & 0x0F);
    if (nanoseconds == 0)
        return 0;
    return static_cast<WORD>(static_cast<INT32>(1 / nanoseconds * 1000));
}

void SpdManufacturer(const SpdImage& image, BYTE& bank, BYTE& code)
{
    size_t index = kFirstManufacturerByte;
    while (index <= kLastManufacturerByte && image[index] == kContinuationCode)
        ++index;
    bank = static_cast<BYTE>(index - kFirstManufacturerByte);
    code = image[index];
}
