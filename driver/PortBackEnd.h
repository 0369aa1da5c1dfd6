/* What the request layer of the port-I/O driver (PortIoDevice.c) asks of
   the machine beneath it: the real I/O ports in the shipped driver
   (RealPorts.c), an emulated machine in the test bed's stand-in. The
   request layer calls these one at a time, at PASSIVE_LEVEL; it reads and
   writes ports only for the host registers of the SMBus controller it
   found, and reads configuration space only through
   PortBackEndReadPciConfig. */
#ifndef TESSARIN_PORT_BACK_END_H
#define TESSARIN_PORT_BACK_END_H

#include <ntddk.h>

/* Once, from DriverEntry, before the device exists. registryPath is the
   driver's service key. A failure stops the driver from loading. */
NTSTATUS PortBackEndStart(PUNICODE_STRING registryPath);

/* Byte accesses to one port. */
UCHAR PortBackEndRead(ULONG port);
void PortBackEndWrite(ULONG port, UCHAR value);

/* Between two polls of the SMBus host: the real one waits a few
   microseconds, so that the polls of a bounded wait span real time. */
void PortBackEndPause(void);

/* One PCI configuration register, addressed as configuration mechanism 1
   does (enable bit, bus, device, function, register); 0xFFFFFFFF where no
   function answers. FALSE when the register cannot be read at all. */
BOOLEAN PortBackEndReadPciConfig(ULONG address, ULONG* value);

/* A port is being closed; a failure is passed on to the caller. */
NTSTATUS PortBackEndClose(ULONG port);

#endif
