#include "Machine.h"

#include <string.h>

#define CONFIG_DATA_PORT 0xCFC
#define CONFIG_ENABLE 0x80000000u
#define NO_DEVICE 0xFFFFFFFFu
#define LOCATION(bus, device, function) (CONFIG_ENABLE | ((bus) << 16) | ((device) << 11) | ((function) << 8))

/* SMBus host registers (offsets from the base) and bits of the Intel
   PIIX4/ICH layout (PIIX4, ICH5 and ICH10 datasheets: HST_STS, HST_CNT,
   HST_CMD, XMIT_SLVA, HST_D0). */
#define HOST_STATUS 0
#define HOST_CONTROL 2
#define HOST_COMMAND 3
#define HOST_ADDRESS 4
#define HOST_DATA0 5
#define HOST_REGISTER_COUNT 6
#define STATUS_BUSY 0x01
#define STATUS_DONE 0x02
#define STATUS_DEVICE_ERROR 0x04
#define STATUS_CLEARABLE 0x1E
#define STATUS_IN_USE 0x40
#define CONTROL_START 0x40
#define PROTOCOL_BYTE 1
#define PROTOCOL_BYTE_DATA 2
#define FIRST_SPD_ADDRESS 0x50
/* JEDEC's page selects of the 512-byte SPD EEPROMs. */
#define SELECT_PAGE0 0x36
#define SELECT_PAGE1 0x37
/* The firmware's own device: a hardware monitor and one of its registers. */
#define SENSOR_ADDRESS 0x2E
#define SENSOR_REGISTER 0x27
#define SENSOR_VALUE 0x5A
/* The firmware wants the host every this many status reads, and holds it
   in use this many before it starts its transaction. */
#define FIRMWARE_PERIOD 40
#define FIRMWARE_HOLD 20
/* FAULT_HOST_DISABLED_LATER: after this many transactions. */
#define TRANSACTIONS_BEFORE_DISABLE 10

struct PciFunction
{
    uint32_t location;
    uint32_t id;        /* device id << 16 | vendor id */
    uint32_t command;   /* the command register (status 0) */
    uint32_t classCode; /* class, subclass, interface, revision */
    uint32_t bars[6];
    uint32_t ownRegister; /* a base register outside the six, or 0 */
    uint32_t ownValue;
    uint32_t enableRegister; /* the dword holding the host-enable bit, or 0 */
    uint32_t enableValue;
};

/* A machine: the south bridge's function 0 and the SMBus function (the
   controller, second), the host base that may be used (0: none) and its
   host's kind. */
struct MachineDefinition
{
    struct PciFunction bridge;
    struct PciFunction controller;
    uint32_t hostBase;
    uint32_t enableMask;
    int hasInUse;
    int hasFirmware;
};

/* In every machine: host bridge and graphics (its I/O BAR at 0xE000). */
static const struct PciFunction basePlatform[] = {
    {LOCATION(0, 0, 0), 0x29C08086, 0x0006, 0x06000002, {0}, 0, 0, 0, 0},
    {LOCATION(0, 2, 0), 0x29C28086, 0x0007, 0x03000002, {0xFE800000, 0, 0x0000E001, 0xD0000008, 0, 0}, 0, 0, 0, 0},
};

/* The PCH of the 6-series datasheet, D31:F0 and F3: BAR0 a 64-bit memory
   BAR placed above 4 GB (its upper half 0x401), SMB_BASE in BAR4. */
#define PCH_MACHINE(hasFirmware)                                                                              \
    {{LOCATION(0, 31, 0), 0x1C448086, 0x0007, 0x06010005, {0}, 0, 0, 0, 0},                                    \
     {LOCATION(0, 31, 3), 0x1C228086, 0x0003, 0x0C050005, {0x00000004, 0x00000401, 0, 0, 0x0000F041, 0}, 0, 0, \
      0x40, 0x00000001},                                                                                       \
     0xF040, 0x00000001, 1, hasFirmware}

static const struct MachineDefinition machines[MACHINE_COUNT] = {
    [MACHINE_NONE] = {{0}, {0}, 0, 0, 0, 0},
    /* Intel 82371AB PIIX4 datasheet: function 3 (power management) holds
       SMBBA at 90h and SMBHSTCFG at D2h; its class is a bridge's. */
    [MACHINE_PIIX4] = {{LOCATION(0, 7, 0), 0x71108086, 0x0007, 0x06010002, {0}, 0, 0, 0, 0},
                       {LOCATION(0, 7, 3), 0x71138086, 0x0001, 0x06800002, {0}, 0x90, 0x00000C01, 0xD0, 0x00010000},
                       0x0C00, 0x00010000, 0, 0},
    /* Intel 82801EB ICH5 datasheet, D31:F3: SMB_BASE in BAR4, HOSTC at 40h. */
    [MACHINE_ICH5] = {{LOCATION(0, 31, 0), 0x24D08086, 0x0007, 0x06010002, {0}, 0, 0, 0, 0},
                      {LOCATION(0, 31, 3), 0x24D38086, 0x0001, 0x0C050002, {0, 0, 0, 0, 0x00000501, 0}, 0, 0, 0x40,
                       0x00000001},
                      0x0500, 0x00000001, 1, 0},
    /* Intel ICH10 datasheet, D31:F3: SMBMBAR in BAR0/1 (64-bit memory),
       SMB_BASE in BAR4. */
    [MACHINE_ICH10] = {{LOCATION(0, 31, 0), 0x3A188086, 0x0007, 0x06010000, {0}, 0, 0, 0, 0},
                       {LOCATION(0, 31, 3), 0x3A308086, 0x0003, 0x0C050000, {0xF7FFE004, 0, 0, 0, 0x0000F001, 0}, 0,
                        0, 0x40, 0x00000001},
                       0xF000, 0x00000001, 1, 0},
    [MACHINE_PCH] = PCH_MACHINE(0),
    /* AMD-756 datasheet, function 3: register 58h holds the PM I/O base
       (0xE400); the SMBus at PM + 0xE0 has AMD's own layout. */
    [MACHINE_AMD756] = {{LOCATION(0, 7, 0), 0x74081022, 0x000F, 0x06010003, {0}, 0, 0, 0, 0},
                        {LOCATION(0, 7, 3), 0x740B1022, 0x0001, 0x06800003, {0}, 0x58, 0x0000E401, 0, 0}, 0, 0, 0, 0},
    /* An NVIDIA MCP55 SMBus function: two ACPI-style hosts in BAR4 and
       BAR5, BAR0 only the I/O flag. */
    [MACHINE_ACPI_SMBUS] = {{LOCATION(0, 1, 0), 0x036410DE, 0x0007, 0x06010000, {0}, 0, 0, 0, 0},
                            {LOCATION(0, 1, 1), 0x036810DE, 0x0001, 0x0C0500A2,
                             {0x00000001, 0, 0, 0, 0x00000401, 0x00000501}, 0, 0, 0, 0},
                            0, 0, 0, 0},
    /* An 8-series PCH's SMBus with a 32-bit memory BAR0 at 0xF000E000. */
    [MACHINE_MEMORY_BAR] = {{LOCATION(0, 31, 0), 0x8C448086, 0x0007, 0x06010005, {0}, 0, 0, 0, 0},
                            {LOCATION(0, 31, 3), 0x8C228086, 0x0003, 0x0C050005, {0xF000E000, 0, 0, 0, 0x00000581, 0},
                             0, 0, 0x40, 0x00000001},
                            0x0580, 0x00000001, 1, 0},
    [MACHINE_FIRMWARE_BUSY] = PCH_MACHINE(1),
};

const char* const MachineNames[MACHINE_COUNT] = {
    [MACHINE_NONE] = "none",           [MACHINE_PIIX4] = "piix4",           [MACHINE_ICH5] = "ich5",
    [MACHINE_ICH10] = "ich10",         [MACHINE_PCH] = "pch",               [MACHINE_AMD756] = "amd756",
    [MACHINE_ACPI_SMBUS] = "acpi-smbus", [MACHINE_MEMORY_BAR] = "memory-bar", [MACHINE_FIRMWARE_BUSY] = "firmware-busy",
};

/* Each module's SPD. The older types fill the first 128 bytes, the rest
   of their 256 reads 0xFF; DDR4's 512 bytes follow JEDEC 21-C 4.1.2.L-4
   (Annex L): page 0 the base configuration, page 1 (bytes 256-511) the
   module and manufacturing data. */
static const uint8_t spdImages[MODULE_COUNT][512] = {
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
    [MODULE_DDR4_2400_8GB] =
        {
            /* 384 of 512 bytes used, revision 1.1, DDR4, UDIMM, 8 Gb in
               four bank groups, 1.2 V, one rank of x8, 64 bits. */
            [0] = 0x23, [1] = 0x11, [2] = 0x0C, [3] = 0x02, [4] = 0x45, [5] = 0x21, [11] = 0x03, [12] = 0x01,
            [13] = 0x03,
            /* 125 ps medium and 1 ps fine time base; tCKmin 7 x 125 ps - 42
               ps = 0.833 ns (DDR4-2400), tCKmax 1.6 ns; CAS latencies. */
            [17] = 0x00, [18] = 0x07, [19] = 0x0D, [20] = 0xF8, [21] = 0x3F, [24] = 0x6E, [125] = 0xD6,
            /* Module maker G.Skill: four continuation codes (odd parity
               in bit 7), then 0xCD; DRAM maker Samsung. */
            [320] = 0x04, [321] = 0xCD, [350] = 0x80, [351] = 0xCE,
            [329] = 'F', [330] = '4', [331] = '-', [332] = '2', [333] = '4', [334] = '0', [335] = '0',
        },
};
/* An SPD EEPROM: its bytes and the address pointer that a byte-data access
   leaves after the byte it touched and a send byte sets. */
struct Eeprom
{
    uint8_t bytes[512];
    uint8_t pointer;
};

/* Who holds the host's in-use semaphore. */
enum InUseOwner
{
    OWNER_NONE,
    OWNER_READER, /* whoever read the status while it was free */
    OWNER_FIRMWARE
};

enum FirmwareState
{
    FIRMWARE_WAITING,
    FIRMWARE_HOLDING,
    FIRMWARE_RUNNING
};

static struct MachineConfig config;
static const struct MachineDefinition* machine;
static struct Eeprom eeproms[MACHINE_SLOT_COUNT];
/* The page the 512-byte EEPROMs show (they switch all at once). */
static uint32_t eepromPage;
static uint32_t eepromWrites;
static uint32_t foreignWrites;
static uint32_t firmwareTransactions;
static uint32_t transactions;

/* SMBus host state. */
static uint8_t hostStatus;
static uint8_t hostCommand;
static uint8_t hostAddress;
static uint8_t hostData0;
static enum InUseOwner inUseOwner;
/* The flags of a started transaction, shown from the status read after the
   one that finds the host busy; 0 when none is running. */
static uint8_t runningResult;
static enum FirmwareState firmwareState;
static uint32_t firmwareTicks;

void MachineDefaultConfig(struct MachineConfig* defaults)
{
    uint32_t slot;
    defaults->machine = MACHINE_PCH;
    for (slot = 0; slot < MACHINE_SLOT_COUNT; ++slot)
        defaults->slots[slot] = MODULE_EMPTY;
    defaults->slots[0] = MODULE_DDR2_800_2GB;
    defaults->slots[2] = MODULE_DDR3_1333_4GB;
    defaults->faults = 0;
}

static int IsDdr4(uint32_t slot)
{
    return config.slots[slot] == MODULE_DDR4_2400_8GB;
}

void MachineReset(const struct MachineConfig* newConfig)
{
    uint32_t slot;
    config = *newConfig;
    if (config.machine >= MACHINE_COUNT)
        config.machine = MACHINE_NONE;
    machine = &machines[config.machine];
    for (slot = 0; slot < MACHINE_SLOT_COUNT; ++slot)
    {
        if (config.slots[slot] >= MODULE_COUNT)
            config.slots[slot] = MODULE_EMPTY;
        memcpy(eeproms[slot].bytes, spdImages[config.slots[slot]], sizeof(eeproms[slot].bytes));
        if (!IsDdr4(slot))
            memset(eeproms[slot].bytes + 128, 0xFF, sizeof(eeproms[slot].bytes) - 128);
        eeproms[slot].pointer = 0;
    }
    eepromPage = 0;
    eepromWrites = foreignWrites = firmwareTransactions = transactions = 0;
    hostStatus = hostCommand = hostAddress = hostData0 = 0;
    inUseOwner = OWNER_NONE;
    runningResult = 0;
    firmwareState = FIRMWARE_WAITING;
    firmwareTicks = FIRMWARE_PERIOD;
}

static int HostEnabled(void)
{
    if (config.faults & FAULT_HOST_DISABLED)
        return 0;
    /* The firmware waits until the host is free again. */
    return !(config.faults & FAULT_HOST_DISABLED_LATER) || transactions < TRANSACTIONS_BEFORE_DISABLE
           || inUseOwner != OWNER_NONE || runningResult;
}

static const struct PciFunction* FindFunction(uint32_t location)
{
    uint32_t i;
    for (i = 0; i < sizeof(basePlatform) / sizeof(basePlatform[0]); ++i)
        if (basePlatform[i].location == location)
            return &basePlatform[i];
    if (machine->bridge.location == location && location)
        return &machine->bridge;
    if (machine->controller.location == location && location)
        return &machine->controller;
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
    if (reg == 0x04)
    {
        if (function == &machine->controller && (config.faults & FAULT_NO_IO_DECODE))
            return function->command & ~1u;
        return function->command;
    }
    if (reg == 0x08)
        return function->classCode;
    if (reg >= 0x10 && reg <= 0x24)
        return function->bars[(reg - 0x10) / 4];
    if (function->ownRegister && reg == function->ownRegister)
        return function->ownValue;
    if (function->enableRegister && reg == function->enableRegister)
    {
        if (function == &machine->controller && !HostEnabled())
            return function->enableValue & ~machine->enableMask;
        return function->enableValue;
    }
    return 0;
}

/* The EEPROM that answers at a slave address, or 0. */
static struct Eeprom* EepromAt(uint32_t slave, uint32_t* slot)
{
    *slot = slave - FIRST_SPD_ADDRESS;
    if (slave < FIRST_SPD_ADDRESS || *slot >= MACHINE_SLOT_COUNT || config.slots[*slot] == MODULE_EMPTY)
        return 0;
    return &eeproms[*slot];
}

static int AnyDdr4(void)
{
    uint32_t slot;
    for (slot = 0; slot < MACHINE_SLOT_COUNT; ++slot)
        if (IsDdr4(slot))
            return 1;
    return 0;
}

/* Runs a transaction with the host registers as they are at its start and
   gives the status flags it ends with. The EEPROMs are writable: a write
   byte data stores host data 0. */
static uint8_t RunTransaction(uint32_t protocol)
{
    uint32_t slave = hostAddress >> 1;
    int isRead = hostAddress & 1;
    uint32_t slot;
    struct Eeprom* eeprom = EepromAt(slave, &slot);
    uint32_t offset;
    if (protocol == PROTOCOL_BYTE && !isRead && (slave == SELECT_PAGE0 || slave == SELECT_PAGE1))
    {
        if (!AnyDdr4())
            return STATUS_DEVICE_ERROR;
        eepromPage = slave == SELECT_PAGE1;
        return STATUS_DONE;
    }
    if (slave == SENSOR_ADDRESS && isRead && protocol == PROTOCOL_BYTE_DATA)
    {
        hostData0 = hostCommand == SENSOR_REGISTER ? SENSOR_VALUE : 0;
        return STATUS_DONE;
    }
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
    eeprom->pointer = (uint8_t)(offset + 1);
    if (IsDdr4(slot))
        offset += 256 * eepromPage;
    if (isRead)
        hostData0 = eeprom->bytes[offset];
    else
    {
        eeprom->bytes[offset] = hostData0;
        ++eepromWrites;
    }
    return STATUS_DONE;
}

/* One step of the firmware, at every access to the host registers (its
   clock): it waits its period, takes the host when it is free, holds it in
   use, reads its sensor and gives the host back once it has checked what
   came out. */
static void FirmwareStep(void)
{
    if (!machine->hasFirmware || --firmwareTicks != 0)
        return;
    switch (firmwareState)
    {
    case FIRMWARE_WAITING:
        if (inUseOwner != OWNER_NONE || runningResult || (hostStatus & STATUS_BUSY))
        {
            firmwareTicks = 1;
            return;
        }
        inUseOwner = OWNER_FIRMWARE;
        firmwareState = FIRMWARE_HOLDING;
        firmwareTicks = FIRMWARE_HOLD;
        return;
    case FIRMWARE_HOLDING:
        hostStatus &= (uint8_t)~STATUS_CLEARABLE;
        hostAddress = SENSOR_ADDRESS << 1 | 1;
        hostCommand = SENSOR_REGISTER;
        runningResult = RunTransaction(PROTOCOL_BYTE_DATA);
        firmwareState = FIRMWARE_RUNNING;
        firmwareTicks = 2;
        return;
    case FIRMWARE_RUNNING:
        /* It looks at the status itself. */
        hostStatus |= runningResult;
        runningResult = 0;
        if (inUseOwner == OWNER_FIRMWARE && (hostStatus & STATUS_CLEARABLE) == STATUS_DONE
            && hostData0 == SENSOR_VALUE && hostAddress == (SENSOR_ADDRESS << 1 | 1) && hostCommand == SENSOR_REGISTER)
            ++firmwareTransactions;
        hostStatus &= (uint8_t)~STATUS_CLEARABLE;
        if (inUseOwner == OWNER_FIRMWARE)
            inUseOwner = OWNER_NONE;
        firmwareState = FIRMWARE_WAITING;
        firmwareTicks = FIRMWARE_PERIOD;
        return;
    }
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
    if (machine->hasInUse)
    {
        if (inUseOwner != OWNER_NONE)
            status |= STATUS_IN_USE;
        else
            inUseOwner = OWNER_READER; /* reading the free flag takes the host */
    }
    return status;
}

static uint8_t ReadHost(uint32_t reg)
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
        if (machine->hasInUse && (value & STATUS_IN_USE))
            inUseOwner = OWNER_NONE;
        break;
    case HOST_CONTROL:
        if (value & CONTROL_START)
        {
            ++transactions;
            runningResult = RunTransaction((value >> 2) & 7);
        }
        break;
    case HOST_COMMAND: hostCommand = value; break;
    case HOST_ADDRESS: hostAddress = value; break;
    case HOST_DATA0: hostData0 = value; break;
    }
}

/* The usable controller's host registers, while they decode. */
static int IsHostPort(uint32_t port)
{
    uint32_t base = machine->hostBase;
    return base && HostEnabled() && !(config.faults & FAULT_NO_IO_DECODE) && port >= base
           && port < base + HOST_REGISTER_COUNT;
}

uint8_t MachineReadPort(uint32_t port)
{
    if (!IsHostPort(port))
        return 0xFF;
    FirmwareStep();
    return ReadHost(port - machine->hostBase);
}

void MachineWritePort(uint32_t port, uint8_t value)
{
    if (IsHostPort(port))
        FirmwareStep();
    if (!IsHostPort(port) || inUseOwner == OWNER_FIRMWARE)
    {
        ++foreignWrites;
        return;
    }
    WriteHost(port - machine->hostBase, value);
}

uint32_t MachineEepromWrites(void)
{
    return eepromWrites;
}

uint32_t MachineForeignWrites(void)
{
    return foreignWrites;
}

uint32_t MachineFirmwareTransactions(void)
{
    return firmwareTransactions;
}

int MachineRefusesClose(uint32_t port)
{
    return (config.faults & FAULT_CLOSE_CONFIG_DATA) && port == CONFIG_DATA_PORT;
}
