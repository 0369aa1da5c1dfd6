/* The requests the port-I/O driver "zxq.sys" answers on its device
   "\\.\PortIo": CTL_CODE(FILE_DEVICE_UNKNOWN, function 0 to 3,
   METHOD_BUFFERED, FILE_ANY_ACCESS). Every field is a 32-bit little-endian
   unsigned integer. Plain C: the test bed's kernel driver includes it too. */
#ifndef TESSARIN_PORT_IO_REQUESTS_H
#define TESSARIN_PORT_IO_REQUESTS_H

/* In: port address, width (1 or 4), the constant 1. Out: a token, never 0. */
#define PORT_IO_OPEN 0x00220000u
/* In: token, the constant 0. Out: the value (a byte in the low-order byte). */
#define PORT_IO_READ 0x00220004u
/* In: token, the constant 0, value. Out: nothing. */
#define PORT_IO_WRITE 0x00220008u
/* In: token. Out: nothing. */
#define PORT_IO_CLOSE 0x0022000Cu

#endif
