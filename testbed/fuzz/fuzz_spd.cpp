// Hostile SPD images: the bytes a module's EEPROM may hold, decoded as the
// SPD reader decodes what it read over the SMBus (memory type, clock,
// manufacturer). An input is the image; a short one is filled with 0xFF as
// an EEPROM reads past its end, a long one cut at 512 bytes.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "hardware/SpdImage.h"
#include "testbed/fuzz/FuzzCampaign.h"

namespace
{
SpdImage Shape(BYTE type, BYTE cycleTime)
{
    SpdImage image;
    image.fill(0);
    image[0] = 0x80;
    image[1] = 0x08;
    image[2] = type;
    image[9] = cycleTime;  // the older types' cycle time
    image[12] = cycleTime; // DDR3: in medium time-base units
    image[10] = 1;
    image[11] = 8;
    image[34] = 0xCA;      // DDR3: a correction of -54 fine-time-base units
    image[18] = cycleTime; // DDR4: in 125 ps units
    image[125] = 0xD6;     // DDR4: -42 ps
    image[64] = 0x7F;      // one continuation code, then the maker
    image[65] = 0xCE;
    image[320] = 0x04; // DDR4's maker, on the second page
    image[321] = 0xCD;
    return image;
}

std::string Generate(CFuzzRandom& random)
{
    const SpdImage shapes[] = {Shape(kSpdDdr2, 0x3D), Shape(kSpdDdr3, 0x0C), Shape(kSpdSdram, 0x75),
                               Shape(kSpdDdr, 0x50), Shape(kSpdDdr4, 0x07)};
    const SpdImage& shape = shapes[random.Below(5)];
    std::string image = CMutator(random).Mutate(std::string(shape.begin(), shape.end()), 600);
    // Continuation codes all the way: the maker's code past the id bytes.
    if (random.Chance(10) && image.size() >= 72)
        std::memset(&image[64], 0x7F, 8);
    return image;
}

// The clocks in MHz the cycle-time bytes allow, worked out in floating
// point from the definitions of each type (the older types' fraction only
// known to lie between 0 and 1.5 ns); false when they name no cycle time.
bool ClockBounds(const SpdImage& image, DWORD type, double& slowest, double& fastest)
{
    double shortestNs = 0;
    double longestNs = 0;
    if (type == kSpdDdr4)
    {
        if (image[17] != 0)
            return false;
        shortestNs = longestNs = (125.0 * image[18] + static_cast<signed char>(image[125])) / 1000;
    }
    else if (type == kSpdDdr3)
    {
        if (image[11] == 0)
            return false;
        const double fineBasePs = (image[9] & 0x0F) ? double(image[9] >> 4) / (image[9] & 0x0F) : 0;
        shortestNs = longestNs = image[12] * double(image[10]) / image[11]
                                 + static_cast<signed char>(image[34]) * fineBasePs / 1000;
    }
    else
    {
        shortestNs = image[9] >> 4;
        longestNs = shortestNs + (type == kSpdUnknown || (image[9] & 0x0F) == 0 ? 0 : 1.5);
        if (shortestNs == 0 && longestNs > 0)
            shortestNs = 0.1; // the smallest fraction a nibble says
    }
    if (shortestNs <= 0)
        return false;
    slowest = 1000 / longestNs;
    fastest = 1000 / shortestNs;
    return true;
}

FuzzOutcome CheckClock(const SpdImage& image, DWORD type)
{
    const WORD frequency = SpdFrequency(image);
    double slowest = 0;
    double fastest = 0;
    if (!ClockBounds(image, type, slowest, fastest))
        return frequency == 0 ? FuzzOutcome() : FuzzOutcome::Fail("a clock without cycle time");
    // 0 stands for a clock beyond 16 bits; otherwise the truncated clock,
    // one off for the rounding of the floating-point bound.
    if (frequency == 0 ? fastest >= 0xFFFF : frequency + 1 >= slowest && frequency <= fastest + 1)
        return FuzzOutcome();
    return FuzzOutcome::Fail("clock of " + std::to_string(frequency) + " MHz outside " + std::to_string(slowest)
                             + " to " + std::to_string(fastest));
}

FuzzOutcome Decode(const std::string& input)
{
    SpdImage image;
    image.fill(0xFF);
    std::memcpy(image.data(), input.data(), std::min(input.size(), image.size()));
    const DWORD type = SpdMemoryTypeOf(image);
    if (type != kSpdUnknown && type != kSpdSdram && type != kSpdDdr && type != kSpdDdr2 && type != kSpdDdr3
        && type != kSpdDdr4)
        return FuzzOutcome::Fail("unknown memory type " + std::to_string(type));
    const FuzzOutcome clock = CheckClock(image, type);
    if (!clock.ok)
        return clock;
    BYTE bank = 0;
    BYTE code = 0;
    SpdManufacturer(image, bank, code);
    // DDR3 and DDR4 count continuation codes in seven bits, the older types
    // in a run of at most eight bytes.
    if (bank > (type == kSpdDdr3 || type == kSpdDdr4 ? 127 : 8))
        return FuzzOutcome::Fail("manufacturer bank " + std::to_string(bank));
    return FuzzOutcome();
}
}

int wmain(int argc, wchar_t** argv)
{
    return RunFuzzProgram(argc, argv, {{"spd_image", Generate, Decode, 2000}});
}
