/* The search for the SMBus host controller on the PCI bus, shared by the
   program (through the port-I/O driver's configuration path) and by the
   driver itself (which opens a controller's registers only when it finds
   the controller the same way, and checks it again before every
   transaction). Plain C without any library call, so the kernel driver
   builds it too. */
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

/* A host controller whose register layout is known (Intel PIIX4, ICH and
   PCH, and the VIA controllers with the same layout), reached through an
   I/O base. */
struct SMBusController
{
    uint32_t function; /* configuration address of its register 0 */
    uint32_t id;       /* device id in the high word, vendor id in the low */
    uint32_t base;     /* I/O base of the host registers */
    /* The host status has the in-use semaphore (bit 6): reading it takes
       the host when it was free, writing the bit back gives it up. */
    int hasInUseFlag;
};

/* Walks the functions of buses 0 to 255 in address order (stopping before
   bus 255, device 31, function 7; a device whose function 0 is absent is
   passed over whole). A controller of the known table wins over the whole
   walk; failing that, the first Intel function of class 0C05 (SMBus). Only
   a controller whose host is enabled, whose function decodes I/O and whose
   base is an I/O address from 0x100 to the top of the 16-bit port space
   counts. */
enum SMBusSearchResult SMBusSearch(PciConfigReader read, void* context, struct SMBusController* found);

/* Reads the controller's function again: SMBUS_SEARCH_FOUND while it
   answers with the same ids and base and is still enabled. */
enum SMBusSearchResult SMBusCheckController(PciConfigReader read, void* context,
                                            const struct SMBusController* controller);

/* The host registers the program uses, at the controller's base: status,
   (slave status), control, command, transmit slave address, data 0. */
#define SMBUS_HOST_REGISTER_COUNT 6u

#ifdef __cplusplus
}
#endif

#endif
