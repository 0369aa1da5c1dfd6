/* The machine the stand-in port-I/O driver emulates: PCI configuration
   space (mechanism 1) with the south bridge of a real chipset, its SMBus
   host registers, and SPD EEPROMs in up to ten slots. As on a real
   controller, a write of the start bit to host control runs the
   transaction with the registers as they are at that moment, and the
   EEPROMs are not write-protected. Every write that reaches the machine is
   looked at: a write to any port but the host registers of its one usable
   controller (the configuration ports included), or one while the
   firmware holds the host, counts as foreign; configuration space itself
   is only read.
   Plain C without any kernel call, so the driver can keep it behind one
   lock. */
#ifndef STANDIN_MACHINE_H
#define STANDIN_MACHINE_H

#include <stdint.h>

#define MACHINE_SLOT_COUNT 10

/* The chipsets, chosen by name (MachineNames). */
enum MachineKind
{
    /* No SMBus controller at all. */
    MACHINE_NONE = 0,
    /* Intel PIIX4: the host in function 3, base in register 0x90. */
    MACHINE_PIIX4,
    /* Intel ICH5: class 0C05, I/O base in BAR4, in-use semaphore. */
    MACHINE_ICH5,
    /* Intel ICH10 and a 6-series PCH: a 64-bit memory BAR0 (the PCH's
       above 4 GB, its upper half looking like an I/O BAR) and the I/O base
       in BAR4. */
    MACHINE_ICH10,
    MACHINE_PCH,
    /* AMD-756: register 0x58 of function 3 holds the power-management
       block, whose AMD-layout SMBus at +0xE0 must not be used. */
    MACHINE_AMD756,
    /* An NVIDIA host of the ACPI SMBus kind (offset 0 starts a
       transaction), class 0C05. */
    MACHINE_ACPI_SMBUS,
    /* An Intel SMBus function whose BAR0 is a 32-bit memory BAR whose low
       bits look like a port (another device's, the graphics card's). */
    MACHINE_MEMORY_BAR,
    /* The PCH whose firmware takes the host every so often, holds it in use
       for a while, then runs a transaction of its own. */
    MACHINE_FIRMWARE_BUSY,
    MACHINE_COUNT
};

/* What each slot holds. */
enum MachineModule
{
    MODULE_EMPTY = 0,
    MODULE_DDR2_800_2GB = 1,
    MODULE_DDR3_1333_4GB = 2,
    MODULE_DDR_400_512MB = 3,
    MODULE_SDRAM_133_256MB = 4,
    /* 512 bytes in two pages, switched by send bytes to 0x36 and 0x37. */
    MODULE_DDR4_2400_8GB = 5,
    MODULE_COUNT
};

/* Faults to emulate, combined as bits. */
enum MachineFault
{
    /* The host status always shows "busy": it never clears. */
    FAULT_BUSY_STATUS = 0x1,
    /* SPD offsets 0x40 to 0x47 answer with a device error. */
    FAULT_FLAGGED_SPD_BYTES = 0x4,
    /* Closing port 0xCFC (PCI configuration data) fails. */
    FAULT_CLOSE_CONFIG_DATA = 0x8,
    /* The controller's host-enable bit is clear: its registers decode
       nothing. */
    FAULT_HOST_DISABLED = 0x10,
    /* The controller's function does not decode I/O (command bit 0). */
    FAULT_NO_IO_DECODE = 0x20,
    /* The firmware disables the host once the tenth transaction has ended
       and its owner has given it back. */
    FAULT_HOST_DISABLED_LATER = 0x40
};

struct MachineConfig
{
    uint32_t machine;
    uint8_t slots[MACHINE_SLOT_COUNT];
    uint32_t faults;
};

/* Each machine's name, in MachineKind order. */
extern const char* const MachineNames[MACHINE_COUNT];

/* The configuration without values: the PCH, a DDR2 module in slot 0 and
   a DDR3 module in slot 2. */
void MachineDefaultConfig(struct MachineConfig* config);
/* Powers the machine on with a configuration; unknown values count as
   none/empty. */
void MachineReset(const struct MachineConfig* config);

/* Byte accesses to one port. Ports nobody decodes read as all ones, and
   any write to them (0xCF8 and 0xCFC included) is foreign. */
uint8_t MachineReadPort(uint32_t port);
void MachineWritePort(uint32_t port, uint8_t value);

/* One PCI configuration register at a mechanism-1 address, without
   touching the configuration address port. */
uint32_t MachineReadPciConfig(uint32_t address);

/* Since the reset: bytes write transactions stored into EEPROMs; foreign
   writes; the firmware's transactions that ended as it expected. */
uint32_t MachineEepromWrites(void);
uint32_t MachineForeignWrites(void);
uint32_t MachineFirmwareTransactions(void);

/* Whether closing a port may fail (FAULT_CLOSE_CONFIG_DATA). */
int MachineRefusesClose(uint32_t port);

#endif
