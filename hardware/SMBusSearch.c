#include "hardware/SMBusSearch.h"

/* Bus 0, device 0, function 0, register 0, with the enable bit. */
#define FIRST_FUNCTION 0x80000000u
/* The walk stops before bus 255, device 31, function 7. */
#define LAST_FUNCTION 0x80FFFEFFu
#define NEXT_FUNCTION 0x100u
/* Functions 0 to 7 of one device. */
#define FUNCTION_BITS 0x700u
#define NO_FUNCTION 0xFFFFFFFFu
#define VENDOR_INTEL 0x8086u

/* PCI Local Bus (PCI-SIG, revision 2.3), configuration header: command register
   (bit 0: the function decodes I/O), class code, base address registers
   (bit 0 set: I/O space; bits 2:1 of a memory BAR = 10b: 64 bits wide,
   the next register holds the upper half). */
#define COMMAND_REGISTER 0x04u
#define COMMAND_IO_SPACE 0x1u
#define CLASS_REGISTER 0x08u
/* Class 0x0C (serial bus), subclass 0x05 (SMBus), interface 0x00. */
#define SMBUS_CLASS 0x0C0500u
#define FIRST_BAR 0x10u
#define BAR_COUNT 6u
#define BAR_IO_SPACE 0x1u
#define BAR_MEMORY_TYPE 0x6u
#define BAR_MEMORY_64 0x4u
#define IO_BASE_MASK 0xFFFFFFFCu

/* Below this the board's fixed devices sit (DMA and interrupt controllers,
   timer, keyboard, CMOS). */
#define LOWEST_BASE 0x100u
#define PORT_SPACE 0x10000u

/* Where a controller keeps its base and its host-enable bit. A base
   register of 0 means the first I/O BAR. The host-enable bit is given
   within the aligned 32-bit register that holds it. */
struct ControllerLayout
{
    uint32_t id;
    uint32_t baseRegister;
    uint32_t baseMask; /* the width of the base register */
    uint32_t enableRegister;
    uint32_t enableMask;
    int hasInUseFlag;
};

/* Controllers known by their ids, checked over the whole walk before any
   class code. */
static const struct ControllerLayout knownControllers[] = {
    /* Intel 82371AB PIIX4 datasheet, function 3: SMBBA at 90h (bit 0 the
       I/O indicator), SMBHSTCFG at D2h (bit 0 host enable). */
    {0x71138086u, 0x90, 0xFFFFFFFFu, 0xD0, 0x00010000u, 0},
    /* Intel 82801EB ICH5 datasheet, D31:F3: SMB_BASE at 20h, HOSTC at 40h
       (bit 0 host enable); HST_STS bit 6 is the in-use semaphore. */
    {0x24D38086u, 0x20, 0xFFFFFFFFu, 0x40, 0x00000001u, 1},
    /* VIA VT82C596B datasheet, function 3, and VIA VT82C686B datasheet,
       function 4: SMBus I/O base at 90h, host configuration at D2h (bit 0
       host enable); the host registers as PIIX4's. */
    {0x30501106u, 0x90, 0xFFFFFFFFu, 0xD0, 0x00010000u, 0},
    {0x30571106u, 0x90, 0xFFFFFFFFu, 0xD0, 0x00010000u, 0},
    /* VIA VT8233/VT8233A, VT8235 and VT8237R/VT8237A datasheets, function
       0: the 16-bit SMBus I/O base at D0h, host configuration at D2h. */
    {0x30741106u, 0xD0, 0x0000FFFFu, 0xD0, 0x00010000u, 0},
    {0x31471106u, 0xD0, 0x0000FFFFu, 0xD0, 0x00010000u, 0},
    {0x31771106u, 0xD0, 0x0000FFFFu, 0xD0, 0x00010000u, 0},
    {0x32271106u, 0xD0, 0x0000FFFFu, 0xD0, 0x00010000u, 0},
    {0x33371106u, 0xD0, 0x0000FFFFu, 0xD0, 0x00010000u, 0},
};

/* Every other Intel SMBus function of class 0C05 (ICH2 to ICH10 and the
   PCH series, their datasheets' D31:F3): an I/O BAR (BAR4 from ICH8 on,
   after a 64-bit memory BAR), HOSTC at 40h, the in-use semaphore. */
static const struct ControllerLayout intelByClass = {0, 0, 0xFFFFFFFFu, 0x40, 0x00000001u, 1};

static const struct ControllerLayout* KnownLayout(uint32_t id)
{
    unsigned i;
    for (i = 0; i < sizeof(knownControllers) / sizeof(knownControllers[0]); ++i)
        if (knownControllers[i].id == id)
            return &knownControllers[i];
    return 0;
}

/* The first I/O BAR that holds an address (0 when none), passing over
   memory BARs and the upper half of a 64-bit one. */
static int FirstIoBar(PciConfigReader read, void* context, uint32_t function, uint32_t* value)
{
    unsigned i;
    *value = 0;
    for (i = 0; i < BAR_COUNT; ++i)
    {
        uint32_t bar;
        if (!read(context, function + FIRST_BAR + 4 * i, &bar))
            return 0;
        if (bar & BAR_IO_SPACE)
        {
            if (bar & IO_BASE_MASK)
            {
                *value = bar;
                return 1;
            }
        }
        else if ((bar & BAR_MEMORY_TYPE) == BAR_MEMORY_64)
            ++i;
    }
    return 1;
}

/* Whether the function at function (its ids already read) is a usable
   controller; fills *found when it is. Returns SMBUS_SEARCH_FAILED when a
   read failed. */
static enum SMBusSearchResult Examine(PciConfigReader read, void* context, uint32_t function, uint32_t id,
                                      const struct ControllerLayout* layout, struct SMBusController* found)
{
    uint32_t value;
    uint32_t base;
    if (layout->baseRegister)
    {
        if (!read(context, function + layout->baseRegister, &value))
            return SMBUS_SEARCH_FAILED;
        value &= layout->baseMask;
    }
    else if (!FirstIoBar(read, context, function, &value))
        return SMBUS_SEARCH_FAILED;
    base = value & IO_BASE_MASK;
    if (!(value & BAR_IO_SPACE) || base < LOWEST_BASE || base > PORT_SPACE - SMBUS_HOST_REGISTER_COUNT)
        return SMBUS_SEARCH_NONE;

    if (!read(context, function + COMMAND_REGISTER, &value))
        return SMBUS_SEARCH_FAILED;
    if (!(value & COMMAND_IO_SPACE))
        return SMBUS_SEARCH_NONE;
    if (!read(context, function + layout->enableRegister, &value))
        return SMBUS_SEARCH_FAILED;
    if (!(value & layout->enableMask))
        return SMBUS_SEARCH_NONE;

    found->function = function;
    found->id = id;
    found->base = base;
    found->hasInUseFlag = layout->hasInUseFlag;
    return SMBUS_SEARCH_FOUND;
}

/* The layout of a function that is no known controller: Intel's class
   0C05 rule, or none. */
static enum SMBusSearchResult ClassLayout(PciConfigReader read, void* context, uint32_t function, uint32_t id,
                                          const struct ControllerLayout** layout)
{
    uint32_t classCode;
    *layout = 0;
    if ((id & 0xFFFFu) != VENDOR_INTEL)
        return SMBUS_SEARCH_NONE;
    if (!read(context, function + CLASS_REGISTER, &classCode))
        return SMBUS_SEARCH_FAILED;
    if ((classCode >> 8) != SMBUS_CLASS)
        return SMBUS_SEARCH_NONE;
    *layout = &intelByClass;
    return SMBUS_SEARCH_FOUND;
}

enum SMBusSearchResult SMBusSearch(PciConfigReader read, void* context, struct SMBusController* found)
{
    struct SMBusController byClass;
    int haveByClass = 0;
    uint32_t function;
    for (function = FIRST_FUNCTION; function <= LAST_FUNCTION; function += NEXT_FUNCTION)
    {
        const struct ControllerLayout* layout;
        enum SMBusSearchResult result;
        uint32_t id;

        if (!read(context, function, &id))
            return SMBUS_SEARCH_FAILED;
        if (id == NO_FUNCTION)
        {
            /* A device implements function 0 if any: without it, its other
               seven functions are not asked for either. */
            if ((function & FUNCTION_BITS) == 0)
                function += FUNCTION_BITS;
            continue;
        }

        layout = KnownLayout(id);
        if (layout)
        {
            result = Examine(read, context, function, id, layout, found);
            if (result != SMBUS_SEARCH_NONE)
                return result;
            continue;
        }
        if (haveByClass)
            continue;
        result = ClassLayout(read, context, function, id, &layout);
        if (result == SMBUS_SEARCH_FOUND)
            result = Examine(read, context, function, id, layout, &byClass);
        if (result == SMBUS_SEARCH_FAILED)
            return result;
        haveByClass = result == SMBUS_SEARCH_FOUND;
    }
    if (!haveByClass)
        return SMBUS_SEARCH_NONE;
    *found = byClass;
    return SMBUS_SEARCH_FOUND;
}

enum SMBusSearchResult SMBusCheckController(PciConfigReader read, void* context,
                                            const struct SMBusController* controller)
{
    const struct ControllerLayout* layout = KnownLayout(controller->id);
    struct SMBusController now;
    enum SMBusSearchResult result = SMBUS_SEARCH_FOUND;
    uint32_t id;
    if (!read(context, controller->function, &id))
        return SMBUS_SEARCH_FAILED;
    if (id != controller->id)
        return SMBUS_SEARCH_NONE;
    if (!layout)
        result = ClassLayout(read, context, controller->function, id, &layout);
    if (result == SMBUS_SEARCH_FOUND)
        result = Examine(read, context, controller->function, id, layout, &now);
    if (result == SMBUS_SEARCH_FOUND && now.base != controller->base)
        result = SMBUS_SEARCH_NONE;
    return result;
}
