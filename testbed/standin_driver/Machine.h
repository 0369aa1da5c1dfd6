/* The small machine the stand-in port-I/O driver emulates: PCI
   configuration space (mechanism 1) with one SMBus host controller, the
   controller's host registers, and SPD EEPROMs in up to ten slots. As on a
   real controller, a write of the start bit to host control runs the
   transaction with the registers as they are at that moment, and the
   EEPROMs are not write-protected.
   Plain C without any kernel call, so the driver can keep it behind one
   lock. */
#ifndef STANDIN_MACHINE_H
#define STANDIN_MACHINE_H

#include <stdint.h>

#define MACHINE_SLOT_COUNT 10

/* Which SMBus host controller the PCI bus carries. */
enum MachineController
{
    CONTROLLER_NONE = 0,
    /* A listed controller (PIIX4 power management) whose class code is a
       bridge's; its base sits in configuration register 0x90. */
    CONTROLLER_KNOWN = 1,
    /* An unlisted controller with SMBus class code 0C05; its base is in the
       fifth base address register (the first holds only the I/O flag). */
    CONTROLLER_BY_CLASS = 2,
    /* The same, but all six base address registers read below 0x10. */
    CONTROLLER_LOW_BARS = 3,
    CONTROLLER_COUNT
};

/* What each slot holds. */
enum MachineModule
{
    MODULE_EMPTY = 0,
    MODULE_DDR2_800_2GB = 1,
    MODULE_DDR3_1333_4GB = 2,
    MODULE_DDR_400_512MB = 3,
    MODULE_SDRAM_133_256MB = 4,
    MODULE_COUNT
};

/* Faults to emulate, combined as bits. */
enum MachineFault
{
    /* The host status always shows "busy": it never clears. */
    FAULT_BUSY_STATUS = 0x1,
    /* The host status always shows the in-use flag. */
    FAULT_IN_USE_STATUS = 0x2,
    /* SPD offsets 0x40 to 0x47 answer with a device error. */
    FAULT_FLAGGED_SPD_BYTES = 0x4,
    /* Closing port 0xCFC (PCI configuration data) fails. */
    FAULT_CLOSE_CONFIG_DATA = 0x8
};

struct MachineConfig
{
    uint32_t controller;
    uint8_t slots[MACHINE_SLOT_COUNT];
    uint32_t faults;
};

/* The configuration without values: a listed controller, a DDR2 module in
   slot 0 and a DDR3 module in slot 2. */
void MachineDefaultConfig(struct MachineConfig* config);
/* Powers the machine on with a configuration; unknown values count as
   none/empty. */
void MachineReset(const struct MachineConfig* config);

/* Port accesses of width 1 or 4. Ports nobody decodes read as all ones. */
uint32_t MachineReadPort(uint32_t port, uint32_t width);
void MachineWritePort(uint32_t port, uint32_t width, uint32_t value);

/* One PCI configuration register at a mechanism-1 address, without
   touching the configuration address port. */
uint32_t MachineReadPciConfig(uint32_t address);

/* How many bytes write transactions have stored into EEPROMs since the
   reset. */
uint32_t MachineEepromWrites(void);

/* Whether closing a port may fail (FAULT_CLOSE_CONFIG_DATA). */
int MachineRefusesClose(uint32_t port);

#endif
