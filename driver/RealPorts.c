/* The port back end of the shipped driver: the SMBus host's own I/O ports,
   and PCI configuration space read through the HAL's bus-data call, which
   serialises it with the system's own configuration accesses (the
   configuration ports 0xCF8 and 0xCFC are never touched here). */
#include "driver/PortBackEnd.h"

#define NO_FUNCTION 0xFFFFFFFFu

NTSTATUS PortBackEndStart(PUNICODE_STRING registryPath)
{
    (void)registryPath;
    return STATUS_SUCCESS;
}

UCHAR PortBackEndRead(ULONG port)
{
    return READ_PORT_UCHAR((PUCHAR)(ULONG_PTR)port);
}

void PortBackEndWrite(ULONG port, UCHAR value)
{
    WRITE_PORT_UCHAR((PUCHAR)(ULONG_PTR)port, value);
}

/* 10 us: the bounded waits of the request layer (10,000 polls) then last
   0.1 s and more; an SMBus byte read takes about 0.5 ms at 100 kHz. */
void PortBackEndPause(void)
{
    KeStallExecutionProcessor(10);
}

BOOLEAN PortBackEndReadPciConfig(ULONG address, ULONG* value)
{
    PCI_SLOT_NUMBER slot;
    slot.u.AsULONG = 0;
    slot.u.bits.DeviceNumber = (address >> 11) & 0x1F;
    slot.u.bits.FunctionNumber = (address >> 8) & 0x07;
    *value = NO_FUNCTION;
    /* Fewer bytes than asked for: no such bus (0) or no such function (2,
       the invalid vendor id only). */
    if (HalGetBusDataByOffset(PCIConfiguration, (address >> 16) & 0xFF, slot.u.AsULONG, value, address & 0xFC,
                              sizeof(*value))
        != sizeof(*value))
        *value = NO_FUNCTION;
    return TRUE;
}

NTSTATUS PortBackEndClose(ULONG port)
{
    (void)port;
    return STATUS_SUCCESS;
}
