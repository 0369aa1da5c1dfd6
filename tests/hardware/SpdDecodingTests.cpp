#include <gtest/gtest.h>

#include "hardware/SpdImage.h"

namespace
{
SpdImage FilledImage(BYTE fill)
{
    SpdImage image;
    image.fill(fill);
    return image;
}
}

TEST(SpdDecoding, ClockFromCycleTimeByMemoryType)
{
    struct Case
    {
        DWORD type;
        BYTE cycleTime;
        WORD megahertz;
    };
    const Case cases[] = {
        {kSpdDdr2, 0x25, 400},  // 2.5 ns
        {kSpdDdr2, 0x3D, 266},  // 3.75 ns
        {kSpdDdr2, 0x1E, 533},  // 1.875 ns
        {kSpdDdr2, 0x2B, 429},  // 2.33 ns, not a third (428)
        {kSpdDdr2, 0x2C, 375},  // 2.66 ns
        {kSpdDdr2, 0x2A, 444},  // 2.25 ns
        {kSpdDdr2, 0x2F, 285},  // 0xF is 1.5 ns: 3.5 ns
        {kSpdDdr, 0x60, 166},
        {kSpdDdr, 0x5D, 158},   // tenths for DDR: 6.3 ns
        {kSpdSdram, 0x75, 133},
        {kSpdDdr3, 0x52, 200},  // whole nanoseconds only
        {kSpdUnknown, 0x25, 500},
        {kSpdDdr3, 0x0F, 0},    // below 1 ns: no whole nanoseconds
        {kSpdDdr2, 0x00, 0},
        {kSpdDdr2, 0x0A, 4000}, // 0.25 ns
    };
    for (const Case& c : cases)
        EXPECT_EQ(SpdFrequency(c.type, c.cycleTime), c.megahertz)
            << "type " << c.type << ", byte 9 = 0x" << std::hex << int(c.cycleTime);
}

TEST(SpdDecoding, MemoryTypeKeepsOnlyTheFourKnownCodes)
{
    const std::pair<BYTE, DWORD> cases[] = {{4, kSpdSdram}, {7, kSpdDdr},  {8, kSpdDdr2}, {11, kSpdDdr3},
                                            {1, 0},         {5, 0},        {9, 0},        {12, 0},
                                            {0, 0},         {0xFF, 0}};
    for (const auto& c : cases)
    {
        SpdImage image = FilledImage(0);
        image[2] = c.first;
        EXPECT_EQ(SpdMemoryTypeOf(image), c.second) << "byte 2 = " << int(c.first);
    }
}

TEST(SpdDecoding, ManufacturerCountsContinuationCodes)
{
    struct Case
    {
        int continuations;
        BYTE code;
        BYTE bank;
    };
    const Case cases[] = {{0, 0xCE, 0}, {1, 0x98, 1}, {2, 0x9E, 2}, {7, 0x45, 7}, {8, 0x33, 8}};
    for (const Case& c : cases)
    {
        SpdImage image = FilledImage(0);
        for (int i = 0; i < c.continuations; ++i)
            image[64 + i] = 0x7F;
        image[64 + c.continuations] = c.code;
        BYTE bank = 0xAA;
        BYTE code = 0xAA;
        SpdManufacturer(image, bank, code);
        EXPECT_EQ(bank, c.bank);
        EXPECT_EQ(code, c.code) << c.continuations << " continuation codes";
    }
}

// What an EEPROM that answers nothing useful decodes to: harmless values.
TEST(SpdDecoding, BlankImagesDecodeToHarmlessValues)
{
    BYTE bank = 0;
    BYTE code = 0;
    const SpdImage erased = FilledImage(0xFF);
    EXPECT_EQ(SpdMemoryTypeOf(erased), 0u);
    EXPECT_EQ(SpdFrequency(SpdMemoryTypeOf(erased), erased[kSpdCycleTimeByte]), 66); // 15 ns
    SpdManufacturer(erased, bank, code);
    EXPECT_EQ(bank, 0);
    EXPECT_EQ(code, 0xFF);

    SpdImage allContinuation = FilledImage(0x7F);
    SpdManufacturer(allContinuation, bank, code);
    EXPECT_EQ(bank, 8);
    EXPECT_EQ(code, 0x7F); // byte 72

    const SpdImage empty = FilledImage(0);
    EXPECT_EQ(SpdMemoryTypeOf(empty), 0u);
    EXPECT_EQ(SpdFrequency(SpdMemoryTypeOf(empty), empty[kSpdCycleTimeByte]), 0);
    SpdManufacturer(empty, bank, code);
    EXPECT_EQ(bank, 0);
    EXPECT_EQ(code, 0);
}
