// The controller search over configuration spaces laid out as the
// chipsets' datasheets lay them out, read through a plain table; and the
// status polling of the SMBus layer.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "hardware/SMBus.h"
#include "hardware/SMBusSearch.h"

namespace
{
uint32_t Location(uint32_t device, uint32_t function)
{
    return 0x80000000u | (device << 11) | (function << 8);
}

// Registers (location + register) of the functions present; any other
// register of a present function reads 0, an absent function all ones.
struct ConfigSpace
{
    std::map<uint32_t, uint32_t> registers;

    // A function and, as PCI devices have, its device's function 0 (an
    // ISA bridge when none was added).
    void Add(uint32_t location, std::map<uint32_t, uint32_t> values)
    {
        for (const auto& value : values)
            registers[location + value.first] = value.second;
        registers.emplace(location & ~0x700u, 0x24D08086);
    }

    static int Read(void* context, uint32_t address, uint32_t* value)
    {
        const ConfigSpace& space = *static_cast<const ConfigSpace*>(context);
        const auto found = space.registers.find(address);
        if (found != space.registers.end())
            *value = found->second;
        else
            *value = space.registers.count(address & 0xFFFFFF00u) ? 0 : 0xFFFFFFFFu;
        return 1;
    }
};

using Registers = std::map<uint32_t, uint32_t>;

// An Intel SMBus function of class 0C05 with the BARs given, its host
// enabled and decoding I/O.
Registers IntelByClass(uint32_t id, std::map<uint32_t, uint32_t> bars, uint32_t command = 1, uint32_t hostc = 1)
{
    Registers registers{{0x00, id}, {0x04, command}, {0x08, 0x0C050002}, {0x40, hostc}};
    registers.insert(bars.begin(), bars.end());
    return registers;
}

const Registers kPiix4{{0x00, 0x71138086}, {0x04, 1}, {0x08, 0x06800002}, {0x90, 0x0C01}, {0xD0, 0x00010000}};
const Registers kIch10 = IntelByClass(0x3A308086, {{0x10, 0xF7FFE004}, {0x20, 0xF001}});
}

TEST(SMBusSearch, FindsOnlyUsableControllersOfAKnownLayout)
{
    struct Case
    {
        const char* machine;
        std::vector<std::pair<uint32_t, Registers>> functions;
        uint32_t base; // 0: none found
    };
    const Case cases[] = {
        {"PIIX4 by its ids, base in 90h", {{Location(7, 3), kPiix4}}, 0x0C00},
        {"ICH10: memory BAR0, the I/O base in BAR4", {{Location(31, 3), kIch10}}, 0xF000},
        {"PCH: a 64-bit memory BAR above 4 GB, whose upper half looks like an I/O BAR",
         {{Location(31, 3), IntelByClass(0x1C228086, {{0x10, 0x00000004}, {0x14, 0x00000401}, {0x20, 0xF041}})}},
         0xF040},
        {"a 32-bit memory BAR that looks like a port, and no I/O BAR",
         {{Location(31, 3), IntelByClass(0x8C228086, {{0x10, 0xF000E000}})}}, 0},
        {"AMD-756: 58h holds the power-management block",
         {{Location(7, 3), {{0x00, 0x740B1022}, {0x04, 1}, {0x08, 0x06800003}, {0x58, 0xE401}}}}, 0},
        {"an ACPI-style host of another vendor, class 0C05",
         {{Location(1, 1), {{0x00, 0x036810DE}, {0x04, 1}, {0x08, 0x0C0500A2}, {0x20, 0x0401}, {0x40, 1}}}}, 0},
        {"the known table wins over an earlier class match, over the whole walk",
         {{Location(1, 0), kIch10}, {Location(7, 3), kPiix4}}, 0x0C00},
        {"a class match with no BAR at all", {{Location(31, 3), IntelByClass(0x3A308086, {})}}, 0},
        {"host disabled", {{Location(31, 3), IntelByClass(0x3A308086, {{0x20, 0xF001}}, 1, 0)}}, 0},
        {"no I/O decode", {{Location(31, 3), IntelByClass(0x3A308086, {{0x20, 0xF001}}, 2, 1)}}, 0},
        {"a disabled PIIX4 passes the search on to a class match",
         {{Location(7, 3), {{0x00, 0x71138086}, {0x04, 1}, {0x90, 0x0C01}}}, {Location(31, 3), kIch10}}, 0xF000},
        {"a base among the board's fixed devices", {{Location(31, 3), IntelByClass(0x3A308086, {{0x20, 0x0081}})}}, 0},
        {"an I/O BAR beyond 16 bits", {{Location(31, 3), IntelByClass(0x3A308086, {{0x20, 0x1F001}})}}, 0},
        {"ICH5 by its ids, BAR4", {{Location(31, 3), IntelByClass(0x24D38086, {{0x20, 0x0501}})}}, 0x0500},
        {"VIA VT82C596B: base in 90h", {{Location(7, 3), {{0x00, 0x30501106}, {0x04, 1}, {0x90, 0x5001},
                                                          {0xD0, 0x00010000}}}}, 0x5000},
        {"VIA VT8237: base in D0h beside the host configuration",
         {{Location(17, 0), {{0x00, 0x32271106}, {0x04, 7}, {0xD0, 0x00010401}}}}, 0x0400},
        {"VIA VT8237 with its host disabled", {{Location(17, 0), {{0x00, 0x32271106}, {0x04, 7}, {0xD0, 0x0401}}}}, 0},
    };
    for (const Case& c : cases)
    {
        ConfigSpace space;
        for (const auto& function : c.functions)
            space.Add(function.first, function.second);
        SMBusController found = {};
        const SMBusSearchResult result = SMBusSearch(&ConfigSpace::Read, &space, &found);
        EXPECT_EQ(result, c.base ? SMBUS_SEARCH_FOUND : SMBUS_SEARCH_NONE) << c.machine;
        EXPECT_EQ(result == SMBUS_SEARCH_FOUND ? found.base : 0, c.base) << c.machine;
    }
}

// Before each transaction the driver looks again: the same function, ids,
// base and enable bits, or the controller is no longer used.
TEST(SMBusSearch, CheckFindsTheControllerChangedOrGone)
{
    ConfigSpace space;
    space.Add(Location(31, 3), kIch10);
    SMBusController found = {};
    ASSERT_EQ(SMBusSearch(&ConfigSpace::Read, &space, &found), SMBUS_SEARCH_FOUND);
    EXPECT_EQ(found.hasInUseFlag, 1);
    EXPECT_EQ(SMBusCheckController(&ConfigSpace::Read, &space, &found), SMBUS_SEARCH_FOUND);

    const std::pair<const char*, std::pair<uint32_t, uint32_t>> changes[] = {
        {"base moved", {0x20, 0xF101}}, {"host disabled", {0x40, 0}}, {"I/O decode off", {0x04, 0}},
        {"another device", {0x00, 0x3A328086}}, {"gone", {0x00, 0xFFFFFFFF}}};
    for (const auto& change : changes)
    {
        ConfigSpace changed = space;
        changed.registers[Location(31, 3) + change.second.first] = change.second.second;
        EXPECT_EQ(SMBusCheckController(&ConfigSpace::Read, &changed, &found), SMBUS_SEARCH_NONE) << change.first;
    }
}

TEST(SMBusPolling, AStatusThatSettlesOnTheLastAllowedPollIsNoTimeout)
{
    for (const WORD settlesAt : {WORD(1), WORD(2047), WORD(2048), WORD(2049)})
    {
        WORD polls = 0;
        EXPECT_EQ(PollUntil(2048, [&polls, settlesAt] { return ++polls == settlesAt; }), settlesAt <= 2048)
            << settlesAt;
        EXPECT_EQ(polls, std::min<WORD>(settlesAt, 2048));
    }
}
