#include "Machine.h"

#include <string.h>

#define CONFIG_ADDRESS_PORT 0xCF8
#define CONFIG_DATA_PORT 0xCFC
#define CONFIG_ENABLE 0x80000000u
#define NO_DEVICE 0xFFFFFFFFu
#define LOCATION(bus, device, function) (CONFIG_ENABLE | ((bus) << 16) | ((device) << 11) | ((function) << 8))

/* SMBus host registers (offsets from the base) and bits. */
#define HOST_STATUS 0
#define HOST_CONTROL 2
#define HOST_COMMAND 3
#define HOST_ADDRESS 4
#define HOST_DATA0 5
#define STATUS_BUSY 0x01
#define STATUS_DONE 0x02
#define STATUS_DEVICE_ERROR 0x04
#define STATUS_CLEARABLE 0x1E
#define STATUS_IN_USE 0x40
#define CONTROL_START 0x40
#define PROTOCOL_BYTE 1
#define PROTOCOL_BYTE_DATA 2
#define FIRST_SPD_ADDRESS 0x50

struct PciFunction
{
    uint32_t location;
    uint32_t id;        /* device id << 16 | vendor id */
    uint32_t classCode; /* class, subclass, interface, revision */
    uint32_t bars[6];
    uint32_t ownRegister; /* a base register outside the six, or 0 */
    uint32_t ownValue;
};

/* Present in every configuration: host bridge, graphics, an ISA bridge
   (function 0 of the device whose function 3 is the listed controller),
   LPC bridge. */
static const struct PciFunction basePlatform[] = {
    {LOCATION(0, 0, 0), 0x29C08086, 0x06000002, {0}, 0, 0},
    {LOCATION(0, 2, 0), 0x29C28086, 0x03000002, {0xFE800000, 0, 0x0000E001, 0xD0000008, 0, 0}, 0, 0},
    {LOCATION(0, 7, 0), 0x71108086, 0x06010002, {0}, 0, 0},
    {LOCATION(0, 31, 0), 0x27B88086, 0x06010001, {0}, 0, 0},
};

/* One per MachineController, CONTROLLER_NONE first. */
static const struct PciFunction controllers[CONTROLLER_COUNT] = {
    {0, 0, 0, {0}, 0, 0},
    {LOCATION(0, 7, 3), 0x71138086, 0x06800002, {0}, 0x90, 0x00000C01},
    {LOCATION(0, 31, 3), 0x036810DE, 0x0C0500A2, {0x00000001, 0, 0, 0, 0x00000401, 0x00000501}, 0, 0},
    {LOCATION(0, 31, 3), 0x036810DE, 0x0C0500A2, {0, 0, 0, 0, 0, 0x00000009}, 0, 0},
};

/* The SMBus base each controller's registers give (bit 0 cleared). */
static const uint32_t controllerBase[CONTROLLER_COUNT] = {0, 0x0C00, 0x0400, 0x0008};

/* The first 128 bytes of each module's SPD; the upper half reads 0xFF. */
static const uint8_t spdImages[MODULE_COUNT][128] = {
    [MODULE_DDR2_800_2GB] =
        {
            [0] = 0x80, [1] = 0x08, [2] = 0x08, [3] = 0x0E, [4] = 0x0A, [5] = 0x61, [6] = 0x40, [8] = 0x05,
            [9] = 0x25, [10] = 0x40, [12] = 0x82, [13] = 0x08, [16] = 0x0C, [17] = 0x08, [18] = 0x70,
            [19] = 0x01, [20] = 0x02, [22] = 0x03, [23] = 0x30, [24] = 0x45, [25] = 0x3D, [26] = 0x50,
            [27] = 0x32, [28] = 0x1E, [29] = 0x32, [30] = 0x2D, [31] = 0x01, [62] = 0x12,
            /* Kingston: one continuation code, then 0x98 */
            [64] = 0x7F, [65] = 0x98, [73] = 'K', [74] = 'V', [75] = 'R', [76] = '8', [77] = '0', [78] = '0',
        },
    [MODULE_DDR3_1333_4GB] =
        {
            /* DDR3 keeps its manufacturer in bytes 117-118; 64-71 are reserved. */
            [0] = 0x92, [1] = 0x10, [2] = 0x0B, [3] = 0x02, [4] = 0x03, [5] = 0x11, [7] = 0x09, [8] = 0x03,
            [9] = 0x52, [10] = 0x01, [11] = 0x08, [12] = 0x0C, [14] = 0x7E, [16] = 0x69, [17] = 0x78,
            [18] = 0x69, [19] = 0x30, [20] = 0x69, [21] = 0x11, [22] = 0x20, [23] = 0x89, [60] = 0x0F,
            [117] = 0x80, [118] = 0xCE,
        },
    [MODULE_DDR_400_512MB] =
        {
            [0] = 0x80, [1] = 0x08, [2] = 0x07, [3] = 0x0D, [4] = 0x0A, [5] = 0x01, [6] = 0x40, [8] = 0x04,
            [9] = 0x50, [10] = 0x60, [12] = 0x82, [13] = 0x08, [16] = 0x0E, [17] = 0x04, [18] = 0x1C,
            [20] = 0x02, [21] = 0x20, [22] = 0xC0, [31] = 0x80, [62] = 0x10,
            /* Corsair: two continuation codes, then 0x9E */
            [64] = 0x7F, [65] = 0x7F, [66] = 0x9E,
        },
    [MODULE_SDRAM_133_256MB] =
        {
            [0] = 0x80, [1] = 0x08, [2] = 0x04, [3] = 0x0D, [4] = 0x09, [5] = 0x01, [6] = 0x40, [8] = 0x01,
            [9] = 0x75, [10] = 0x54, [12] = 0x80, [13] = 0x08, [16] = 0x8F, [17] = 0x04, [18] = 0x06,
            [31] = 0x40, [62] = 0x02,
            /* Micron, bank 0 */
            [64] = 0x2C,
        },
};

/* An SPD EEPROM: its 256 bytes and the address pointer that a byte-data
   access leaves after the byte it touched and a send byte sets. */
struct Eeprom
{
    uint8_t bytes[256];
    uint8_t pointer;
};

static struct MachineConfig config;
static uint32_t configAddress;
static struct Eeprom eeproms[MACHINE_SLOT_COUNT];
static uint32_t eepromWrites;

/* SMBus host state. */
static uint8_t hostStatus;
static uint8_t hostCommand;
static uint8_t hostAddress;
static uint8_t hostData0;
static int hostInUse;
/* The flags of a started transaction, shown from the status read after the
   one that finds the host busy; 0 when none is running. */
static uint8_t runningResult;

void MachineDefaultConfig(struct MachineConfig* defaults)
{
    uint32_t slot;
    defaults->controller = CONTROLLER_KNOWN;
    for (slot = 0; slot < MACHINE_SLOT_COUNT; ++slot)
        defaults->slots[slot] = MODULE_EMPTY;
    defaults->slots[0] = MODULE_DDR2_800_2GB;
    defaults->slots[2] = MODULE_DDR3_1333_4GB;
    defaults->faults = 0;
}

void MachineReset(const struct MachineConfig* newConfig)
{
    uint32_t slot;
    config = *newConfig;
    if (config.controller >= CONTROLLER_COUNT)
        config.controller = CONTROLLER_NONE;
    for (slot = 0; slot < MACHINE_SLOT_COUNT; ++slot)
    {
        if (config.slots[slot] >= MODULE_COUNT)
            config.slots[slot] = MODULE_EMPTY;
        memset(eeproms[slot].bytes, 0xFF, sizeof(eeproms[slot].bytes));
        memcpy(eeproms[slot].bytes, spdImages[config.slots[slot]], sizeof(spdImages[0]));
        eeproms[slot].pointer = 0;
    }
    eepromWrites = 0;
    configAddress = 0;
    hostStatus = hostCommand = hostAddress = hostData0 = 0;
    hostInUse = 0;
    runningResult = 0;
}

static const struct PciFunction* FindFunction(uint32_t location)
{
    uint32_t i;
    for (i = 0; i < sizeof(basePlatform) / sizeof(basePlatform[0]); ++i)
        if (basePlatform[i].location == location)
            return &basePlatform[i];
    if (config.controller != CONTROLLER_NONE && controllers[config.controller].location == location)
        return &controllers[config.controller];
    return 0;
}

uint32_t MachineReadPciConfig(uint32_t address)
{
    const struct PciFunction* function;
    uint32_t reg = address & 0xFC;
    if (!(address & CONFIG_ENABLE))
        return NO_DEVICE;
    function = FindFunction(address & 0xFFFFFF00u);
    if (!function)
        return NO_DEVICE;
    if (reg == 0x00)
        return function->id;
    if (reg == 0x08)
        return function->classCode;
    if (reg >= 0x10 && reg <= 0x24)
        return function->bars[(reg - 0x10) / 4];
    if (function->ownRegister && reg == function->ownRegister)
        return function->ownValue;
    return 0;
}

/* The EEPROM that answers at a slave address, or 0. */
static struct Eeprom* EepromAt(uint32_t slave)
{
    uint32_t slot = slave - FIRST_SPD_ADDRESS;
    if (slave < FIRST_SPD_ADDRESS || slot >= MACHINE_SLOT_COUNT || config.slots[slot] == MODULE_EMPTY)
        return 0;
    return &eeproms[slot];
}

/* Runs a transaction with the host registers as they are at its start and
   gives the status flags it ends with. The EEPROMs are writable: a write
   byte data stores host data 0. */
static uint8_t RunTransaction(uint32_t protocol)
{
    struct Eeprom* eeprom = EepromAt(hostAddress >> 1);
    int isRead = hostAddress & 1;
    uint8_t offset;
    if (!eeprom || (protocol != PROTOCOL_BYTE && protocol != PROTOCOL_BYTE_DATA))
        return STATUS_DEVICE_ERROR;
    if (protocol == PROTOCOL_BYTE && !isRead)
    {
        eeprom->pointer = hostCommand; /* send byte */
        return STATUS_DONE;
    }
    offset = protocol == PROTOCOL_BYTE_DATA ? hostCommand : eeprom->pointer;
    if ((config.faults & FAULT_FLAGGED_SPD_BYTES) && offset >= 0x40 && offset <= 0x47)
        return STATUS_DEVICE_ERROR;
    if (isRead)
        hostData0 = eeprom->bytes[offset];
    else
    {
        eeprom->bytes[offset] = hostData0;
        ++eepromWrites;
    }
    eeprom->pointer = (uint8_t)(offset + 1);
    return STATUS_DONE;
}

static uint8_t ReadHostStatus(void)
{
    uint8_t status = hostStatus;
    if (runningResult)
    {
        /* The first look after the start finds the host busy. */
        status |= STATUS_BUSY;
        hostStatus |= runningResult;
        runningResult = 0;
    }
    if (config.faults & FAULT_BUSY_STATUS)
        status |= STATUS_BUSY;
    if (hostInUse || (config.faults & FAULT_IN_USE_STATUS))
        status |= STATUS_IN_USE;
    hostInUse = 1; /* reading the flag takes the host */
    return status;
}

static uint32_t ReadHost(uint32_t reg)
{
    switch (reg)
    {
    case HOST_STATUS: return ReadHostStatus();
    case HOST_COMMAND: return hostCommand;
    case HOST_ADDRESS: return hostAddress;
    case HOST_DATA0: return hostData0;
    default: return 0;
    }
}

static void WriteHost(uint32_t reg, uint8_t value)
{
    switch (reg)
    {
    case HOST_STATUS:
        hostStatus &= (uint8_t)~(value & STATUS_CLEARABLE);
        if (value & STATUS_IN_USE)
            hostInUse = 0;
        break;
    case HOST_CONTROL:
        if (value & CONTROL_START)
            runningResult = RunTransaction((value >> 2) & 7);
        break;
    case HOST_COMMAND: hostCommand = value; break;
    case HOST_ADDRESS: hostAddress = value; break;
    case HOST_DATA0: hostData0 = value; break;
    }
}

static int IsHostPort(uint32_t port)
{
    uint32_t base = controllerBase[config.controller];
    return config.controller != CONTROLLER_NONE && port >= base && port <= base + HOST_DATA0;
}

uint32_t MachineReadPort(uint32_t port, uint32_t width)
{
    uint32_t mask = width == 1 ? 0xFF : 0xFFFFFFFFu;
    if (port == CONFIG_ADDRESS_PORT)
        return configAddress & mask;
    if (port == CONFIG_DATA_PORT)
        return MachineReadPciConfig(configAddress) & mask;
    if (IsHostPort(port))
        return ReadHost(port - controllerBase[config.controller]) & mask;
    return mask;
}

void MachineWritePort(uint32_t port, uint32_t width, uint32_t value)
{
    if (port == CONFIG_ADDRESS_PORT && width == 4)
        configAddress = value;
    else if (IsHostPort(port))
        WriteHost(port - controllerBase[config.controller], (uint8_t)value);
}

uint32_t MachineEepromWrites(void)
{
    return eepromWrites;
}

int MachineRefusesClose(uint32_t port)
{
    return (config.faults & FAULT_CLOSE_CONFIG_DATA) && port == CONFIG_DATA_PORT;
}
