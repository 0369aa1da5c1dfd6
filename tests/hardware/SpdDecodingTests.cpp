#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "hardware/SpdImage.h"

namespace
{
SpdImage FilledImage(BYTE fill)
{
    SpdImage image;
    image.fill(fill);
    return image;
}

// A blank image with the bytes given (offset, value).
SpdImage ImageWith(std::initializer_list<std::pair<size_t, BYTE>> bytes)
{
    SpdImage image = FilledImage(0);
    for (const auto& byte : bytes)
        image[byte.first] = byte.second;
    return image;
}
}

TEST(SpdDecoding, ClockFromByte9BeforeDdr3)
{
    struct Case
    {
        BYTE type;
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
        {12, 0x25, 500},        // an unknown type: whole nanoseconds only
        {12, 0x0F, 0},          // below 1 ns: no whole nanoseconds
        {kSpdDdr2, 0x00, 0},
        {kSpdDdr2, 0x0A, 4000}, // 0.25 ns
    };
    for (const Case& c : cases)
        EXPECT_EQ(SpdFrequency(ImageWith({{2, c.type}, {9, c.cycleTime}})), c.megahertz)
            << "type " << int(c.type) << ", byte 9 = 0x" << std::hex << int(c.cycleTime);
}

// DDR3: byte 12 in medium-time-base units (byte 10 / byte 11 ns), corrected
// by byte 34 (signed) in fine-time-base units (byte 9, dividend / divisor ps).
TEST(SpdDecoding, Ddr3ClockFromItsOwnCycleTimeBytes)
{
    struct Case
    {
        const char* module;
        BYTE fineBase, mediumDividend, mediumDivisor, cycleTime, correction;
        WORD megahertz;
    };
    const Case cases[] = {
        {"DDR3-800, 2.5 ns", 0x52, 1, 8, 0x14, 0x00, 400},
        {"DDR3-1066, 1.875 ns", 0x52, 1, 8, 0x0F, 0x00, 533},
        {"DDR3-1333, 1.5 ns", 0x52, 1, 8, 0x0C, 0x00, 666},
        {"DDR3-1600, 1.25 ns", 0x11, 1, 8, 0x0A, 0x00, 800},
        {"DDR3-1866, 1.125 ns - 54 ps", 0x11, 1, 8, 0x09, 0xCA, 933},
        {"DDR3-1333 with a 2.5 ps fine base, 1.5 ns + 20 x 2.5 ps", 0x52, 1, 8, 0x0C, 0x14, 645},
        {"DDR3-1333 in 1/16 ns units", 0x11, 1, 16, 0x18, 0x00, 666},
        {"fine base without divisor: no correction", 0x50, 1, 8, 0x0C, 0x80, 666},
        {"medium base without divisor", 0x11, 1, 0, 0x0C, 0x00, 0},
        {"no cycle time", 0x11, 1, 8, 0x00, 0x00, 0},
        {"a correction below zero", 0x11, 1, 8, 0x00, 0x80, 0},
        {"shorter than the clock can express", 0x11, 1, 255, 0x01, 0x00, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SpdFrequency(ImageWith({{2, kSpdDdr3},
                                          {9, c.fineBase},
                                          {10, c.mediumDividend},
                                          {11, c.mediumDivisor},
                                          {12, c.cycleTime},
                                          {34, c.correction}})),
                  c.megahertz)
            << c.module;
}

TEST(SpdDecoding, MemoryTypeKeepsOnlyTheFourKnownCodes)
{
    const std::pair<BYTE, DWORD> cases[] = {{4, kSpdSdram}, {7, kSpdDdr},  {8, kSpdDdr2}, {11, kSpdDdr3},
                                            {1, 0},         {5, 0},        {9, 0},        {12, 0},
                                            {0, 0},         {0xFF, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(SpdMemoryTypeOf(ImageWith({{2, c.first}})), c.second) << "byte 2 = " << int(c.first);
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
        SpdImage image = ImageWith({{2, kSpdDdr2}});
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

// DDR3: byte 117 holds the continuation count in bits 0-6 (bit 7 is
// parity), byte 118 the code; bytes 64-71 mean something else there.
TEST(SpdDecoding, Ddr3ManufacturerFromBytes117And118)
{
    struct Case
    {
        const char* maker;
        BYTE count;
        BYTE code;
        BYTE bank;
    };
    const Case cases[] = {
        {"Samsung", 0x80, 0xCE, 0},
        {"Micron", 0x80, 0x2C, 0},
        {"Kingston, one continuation code", 0x01, 0x98, 1},
        {"Corsair, two", 0x02, 0x9E, 2},
        {"G.Skill, four", 0x04, 0xCD, 4},
        {"parity bit and the largest count", 0xFF, 0x01, 127},
    };
    for (const Case& c : cases)
    {
        SpdImage image = ImageWith({{2, kSpdDdr3}, {117, c.count}, {118, c.code}});
        image[64] = 0x7F; // what older types would count
        image[65] = 0x11;
        BYTE bank = 0xAA;
        BYTE code = 0xAA;
        SpdManufacturer(image, bank, code);
        EXPECT_EQ(bank, c.bank) << c.maker;
        EXPECT_EQ(code, c.code) << c.maker;
    }
}

// What an EEPROM that answers nothing useful decodes to: harmless values.
TEST(SpdDecoding, BlankImagesDecodeToHarmlessValues)
{
    BYTE bank = 0;
    BYTE code = 0;
    const SpdImage erased = FilledImage(0xFF);
    EXPECT_EQ(SpdMemoryTypeOf(erased), 0u);
    EXPECT_EQ(SpdFrequency(erased), 66); // 15 ns
    SpdManufacturer(erased, bank, code);
    EXPECT_EQ(bank, 0);
    EXPECT_EQ(code, 0xFF);

    SpdImage allContinuation = FilledImage(0x7F);
    SpdManufacturer(allContinuation, bank, code);
    EXPECT_EQ(bank, 8);
    EXPECT_EQ(code, 0x7F); // byte 72

    const SpdImage empty = FilledImage(0);
    EXPECT_EQ(SpdMemoryTypeOf(empty), 0u);
    EXPECT_EQ(SpdFrequency(empty), 0);
    SpdManufacturer(empty, bank, code);
    EXPECT_EQ(bank, 0);
    EXPECT_EQ(code, 0);
}
