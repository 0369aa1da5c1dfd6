/* The port back end of the shipped driver: the machine's own I/O ports,
   and PCI configuration space through the HAL, which serialises it with
   the system's own configuration accesses. */
#include "driver/PortBackEnd.h"

#define NO_FUNCTION 0xFFFFFFFFu

NTSTATUS PortBackEndStart(PUNICODE_STRING registryPath)
{
    (void)registryPath;
    return STATUS_SUCCESS;
}

ULONG PortBackEndRead(ULONG port, ULONG width)
{
    if (width == 1)
        return READ_PORT_UCHAR((PUCHAR)(ULONG_PTR)port);
    return READ_PORT_ULONG((PULONG)(ULONG_PTR)port);
}

void PortBackEndWrite(ULONG port, ULONG width, ULONG value)
{
    if (width == 1)
        WRITE_PORT_UCHAR((PUCHAR)(ULONG_PTR)port, (UCHAR)value);
    else
        WRITE_PORT_ULONG((PULONG)(ULONG_PTR)port, value);
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
