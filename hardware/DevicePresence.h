#pragma once

// Device questions answered through SetupAPI and the configuration manager.
// Any failure along the way answers false.

// A battery device interface is present and its details can be read.
bool IsBatteryPresent();

// A present CD-ROM drive that is shown in the device manager and is not
// expected to be removed, i.e. built in.
bool IsBuiltInCdRomPresent();
