#pragma once
#include <string>

#include "net/HardwareSource.h"
#include "net/Md5.h"

// The 128-bit hardware identifier: the XOR of the MD5 digests of the BIOS,
// the processor and computer system, the base board, every fixed disk and
// every PCI Ethernet card. False when a class cannot be queried.
bool ComputeHardwareId(IHardwareSource& source, Md5Digest& id);

// "0123abcd-..." : the 16 bytes as lower-case hex digits in four groups of
// eight, joined by "-" (35 characters).
std::wstring FormatMachineId(const Md5Digest& id);
