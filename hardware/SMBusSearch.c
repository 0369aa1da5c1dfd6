#include "hardware/SMBusSearch.h"

/* Bus 0, device 0, function 0, register 0, with the enable bit. */
#define FIRST_FUNCTION 0x80000000u
/* The walk stops before bus 255, device 31, function 7. */
#define LAST_FUNCTION 0x80FFFEFFu
#define NEXT_FUNCTION 0x100u
/* Functions 0 to 7 of one device. */
#define FUNCTION_BITS 0x700u
#define NO_FUNCTION 0xFFFFFFFFu
#define CLASS_REGISTER 0x08u
/* Class 0x0C (serial bus), subclass 0x05 (SMBus), interface 0x00. */
#define SMBUS_CLASS 0x0C0500u
/* Clears the I/O-space flag in bit 0 and the top nibble. */
#define BASE_MASK 0x0FFFFFFEu

/* Host controllers whose SMBus base sits in a register of their own,
   matched by device and vendor id before the class code is looked at. */
struct KnownController
{
    uint32_t id; /* device id in the high word, vendor id in the low word */
    uint32_t baseRegister;
};

static const struct KnownController knownControllers[] = {
    {0x71138086u, 0x90}, {0x24D38086u, 0x20}, {0x30501106u, 0x80}, {0x30571106u, 0x90},
    {0x740B1022u, 0x58}, {0x74131022u, 0x58}, {0x74431022u, 0x58}, {0x746B1022u, 0x58},
};

static const uint32_t baseRegisters[] = {0x10, 0x14, 0x18, 0x1C, 0x20, 0x24};

static const struct KnownController* FindKnownController(uint32_t id)
{
    unsigned i;
    for (i = 0; i < sizeof(knownControllers) / sizeof(knownControllers[0]); ++i)
        if (knownControllers[i].id == id)
            return &knownControllers[i];
    return 0;
}

enum SMBusSearchResult SMBusSearch(PciConfigReader read, void* context, uint32_t* base)
{
    uint32_t function;
    for (function = FIRST_FUNCTION; function <= LAST_FUNCTION; function += NEXT_FUNCTION)
    {
        const struct KnownController* known;
        uint32_t value;
        uint32_t classCode;
        unsigned i;

        if (!read(context, function & 0xFFFFFF00u, &value))
            return SMBUS_SEARCH_FAILED;
        if (value == NO_FUNCTION)
        {
            /* A device implements function 0 if any: without it, its other
               seven functions are not asked for either. */
            if ((function & FUNCTION_BITS) == 0)
                function += FUNCTION_BITS;
            continue;
        }

        known = FindKnownController(value);
        if (known)
        {
            if (!read(context, function + known->baseRegister, &value))
                return SMBUS_SEARCH_FAILED;
        }
        else
        {
            if (!read(context, function + CLASS_REGISTER, &classCode))
                return SMBUS_SEARCH_FAILED;
            if ((classCode >> 8) != SMBUS_CLASS)
                continue;
            for (i = 0; i < sizeof(baseRegisters) / sizeof(baseRegisters[0]); ++i)
            {
                if (!read(context, function + baseRegisters[i], &value))
                    return SMBUS_SEARCH_FAILED;
                if ((value & 0xFFFFFFF0u) != 0)
                    break;
            }
        }
        *base = value & BASE_MASK;
        return SMBUS_SEARCH_FOUND;
    }
    return SMBUS_SEARCH_NONE;
}
