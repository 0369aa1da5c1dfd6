/* The search for the SMBus host controller on the PCI bus, shared by the
   program (through the port-I/O driver's configuration ports) and by the
   driver itself (which opens a controller's registers only when it finds
   the controller the same way). Plain C without any library call, so the
   kernel driver builds it too. */
#ifndef TESSARIN_SMBUS_SEARCH_H
#define TESSARIN_SMBUS_SEARCH_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Reads the PCI configuration register at a mechanism-1 configuration
   address (enable bit, bus, device, function, register). Returns 0 when the
   access failed, which ends the search. */
typedef int (*PciConfigReader)(void* context, uint32_t address, uint32_t* value);

enum SMBusSearchResult
{
    SMBUS_SEARCH_FOUND = 0,
    SMBUS_SEARCH_NONE = 1,
    SMBUS_SEARCH_FAILED = 2
};

/* Walks the functions of buses 0 to 255 in address order (stopping before
   bus 255, device 31, function 7; a device whose function 0 is absent is
   passed over whole) for the first known host controller
   (matched by its ids, its base in a register of its own) or, failing
   that, the first function of class 0C05 (SMBus), whose base is the first
   of its six base address registers that holds an address (or the last
   one read). *base gets that register's value without the I/O-space flag
   and the top nibble. */
enum SMBusSearchResult SMBusSearch(PciConfigReader read, void* context, uint32_t* base);

/* The host registers the program uses, at the controller's base: status,
   (slave status), control, command, transmit slave address, data 0. */
#define SMBUS_HOST_REGISTER_COUNT 6u

#ifdef __cplusplus
}
#endif

#endif
