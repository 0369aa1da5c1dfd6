#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
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
        {13, 0x25, 500},        // an unknown type: whole nanoseconds only
        {13, 0x0F, 0},          // below 1 ns: no whole nanoseconds
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

// DDR4: tCKmin in byte 18 in 125 ps units, corrected by byte 125 (signed)
// in 1 ps units; byte 17 names those bases and nothing else is defined.
TEST(SpdDecoding, Ddr4ClockFromItsOwnCycleTimeBytes)
{
    struct Case
    {
        const char* module;
        BYTE timeBases, cycleTime, correction;
        WORD megahertz;
    };
    const Case cases[] = {
        {"DDR4-1600, 1.25 ns", 0x00, 0x0A, 0x00, 800},
        {"DDR4-1866, 1.125 ns - 54 ps", 0x00, 0x09, 0xCA, 933},
        {"DDR4-2133, 1 ns - 62 ps", 0x00, 0x08, 0xC2, 1066},
        {"DDR4-2400, 0.875 ns - 42 ps", 0x00, 0x07, 0xD6, 1200},
        {"DDR4-2666, 0.75 ns", 0x00, 0x06, 0x00, 1333},
        {"DDR4-2933, 0.75 ns - 68 ps", 0x00, 0x06, 0xBC, 1466},
        {"DDR4-3200, 0.625 ns", 0x00, 0x05, 0x00, 1600},
        {"a correction upward, 752 ps", 0x00, 0x05, 0x7F, 1329},
        {"reserved time bases", 0x05, 0x07, 0xD6, 0},
        {"no cycle time", 0x00, 0x00, 0x00, 0},
        {"a correction to below zero", 0x00, 0x00, 0x80, 0},
        {"5 ps: faster than the clock can say", 0x00, 0x01, 0x88, 0},
        {"16 ps: still within it", 0x00, 0x01, 0x93, 62500},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SpdFrequency(ImageWith({{2, kSpdDdr4}, {17, c.timeBases}, {18, c.cycleTime}, {125, c.correction}})),
                  c.megahertz)
            << c.module;
}

TEST(SpdDecoding, MemoryTypeKeepsOnlyTheFiveKnownCodes)
{
    const std::pair<BYTE, DWORD> cases[] = {{4, kSpdSdram}, {7, kSpdDdr},  {8, kSpdDdr2}, {11, kSpdDdr3},
                                            {12, kSpdDdr4}, {1, 0},        {5, 0},        {9, 0},
                                            {13, 0},        {0, 0},        {0xFF, 0}};
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

// DDR3 and DDR4: a continuation count in bits 0-6 (bit 7 is parity) and the
// code, in bytes 117 and 118 or 320 and 321; the other type's bytes and
// bytes 64-71 of the older types mean something else there.
TEST(SpdDecoding, Ddr3AndDdr4ManufacturerFromTheirOwnBytes)
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
    for (const BYTE type : {BYTE(kSpdDdr3), BYTE(kSpdDdr4)})
    {
        const size_t countByte = type == kSpdDdr3 ? 117 : 320;
        const size_t otherCountByte = type == kSpdDdr3 ? 320 : 117;
        for (const Case& c : cases)
        {
            SpdImage image = ImageWith({{2, type}, {countByte, c.count}, {countByte + 1, c.code}});
            image[64] = 0x7F; // what older types would count
            image[65] = 0x11;
            image[otherCountByte] = 0x05;
            image[otherCountByte + 1] = 0x22;
            BYTE bank = 0xAA;
            BYTE code = 0xAA;
            SpdManufacturer(image, bank, code);
            EXPECT_EQ(bank, c.bank) << c.maker << ", type " << int(type);
            EXPECT_EQ(code, c.code) << c.maker << ", type " << int(type);
        }
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
