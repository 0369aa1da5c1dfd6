/* What the request layer of the port-I/O driver (PortIoDevice.c) asks of
   the machine beneath it: the real I/O ports in the shipped driver
   (RealPorts.c), an emulated machine in the test bed's stand-in. The
   request layer calls these one at a time, at PASSIVE_LEVEL, and only for
   ports it has allowed. */
#ifndef TESSARIN_PORT_BACK_END_H
#define TESSARIN_PORT_BACK_END_H

#include <ntddk.h>

/* Once, from DriverEntry, before the device exists. registryPath is the
   driver's service key. A failure stops the driver from loading. */
NTSTATUS PortBackEndStart(PUNICODE_STRING registryPath);

/* Port accesses of width 1 or 4; for width 1 the byte is the low-order
   byte. */
ULONG PortBackEndRead(ULONG port, ULONG width);
void PortBackEndWrite(ULONG port, ULONG width, ULONG value);

/* One PCI configuration register, addressed as configuration mechanism 1
   does (enable bit, bus, device, function, register); 0xFFFFFFFF where no
   function answers. FALSE when the register cannot be read at all. */
BOOLEAN PortBackEndReadPciConfig(ULONG address, ULONG* value);

/* A port is being closed; a failure is passed on to the caller. */
NTSTATUS PortBackEndClose(ULONG port);

#endif
