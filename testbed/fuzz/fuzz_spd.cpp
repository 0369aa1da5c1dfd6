// Hostile SPD images: the bytes a module's EEPROM may hold, decoded as the
// SPD reader decodes what it read over the SMBus (memory type, clock,
// manufacturer). An input is the image; a short one is filled with 0xFF as
// an EEPROM reads past its end, a long one cut at 256 bytes.
#include <windows.h>

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
    image[9] = cycleTime; // the older types' cycle time
    image[12] = cycleTime; // DDR3: in medium time-base units
    image[10] = 1;
    image[11] = 8;
    image[64] = 0x7F; // one continuation code, then the maker
    image[65] = 0xCE;
    return image;
}

std::string Generate(CFuzzRandom& random)
{
    const SpdImage shapes[] = {Shape(kSpdDdr2, 0x3D), Shape(kSpdDdr3, 0x0C), Shape(kSpdSdram, 0x75),
                               Shape(kSpdDdr, 0x50)};
    const SpdImage& shape = shapes[random.Below(4)];
    std::string image = CMutator(random).Mutate(std::string(shape.begin(), shape.end()), 300);
    // Continuation codes all the way: the maker's code past the id bytes.
    if (random.Chance(10) && image.size() >= 72)
        std::memset(&image[64], 0x7F, 8);
    return image;
}

FuzzOutcome Decode(const std::string& input)
{
    SpdImage image;
    image.fill(0xFF);
    std::memcpy(image.data(), input.data(), std::min(input.size(), image.size()));
    const DWORD type = SpdMemoryTypeOf(image);
    if (type != kSpdUnknown && type != kSpdSdram && type != kSpdDdr && type != kSpdDdr2 && type != kSpdDdr3)
        return FuzzOutcome::Fail("unknown memory type " + std::to_string(type));
    // The fastest cycle time the older types can say is 0.1 ns; DDR3 gives 0
    // for one shorter than its clock can express.
    const WORD frequency = SpdFrequency(image);
    if (frequency > 10000)
        return FuzzOutcome::Fail("clock of " + std::to_string(frequency) + " MHz");
    BYTE bank = 0;
    BYTE code = 0;
    SpdManufacturer(image, bank, code);
    // DDR3 counts continuation codes in seven bits, the older types in a run
    // of at most eight bytes.
    if (bank > (type == kSpdDdr3 ? 127 : 8))
        return FuzzOutcome::Fail("manufacturer bank " + std::to_string(bank));
    return FuzzOutcome();
}
}

int wmain(int argc, wchar_t** argv)
{
    return RunFuzzProgram(argc, argv, {{"spd_image", Generate, Decode, 2000}});
}
