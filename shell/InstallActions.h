#pragma once
#include <string>

// The port-I/O driver "zxq.sys" ships beside the program; the install
// actions copy it into the system drivers folder and register it as the
// kernel service "zxq", started with Windows.
extern const wchar_t kDriverServiceName[];

// Where the driver ships: beside the program, never the current folder,
// which could be any folder a user can write to.
std::wstring DriverSourcePath();
// <system folder>\drivers\zxq.sys. A 32-bit program on 64-bit Windows
// reaches the real system folder through CWow64RedirectionOff.
std::wstring DriverTargetPath();

// "install" and "s_install": moves a stored user address off the old web
// domain, copies the driver (overwriting an older copy), creates the service
// (or opens the existing one) and starts it. Stops at the first failure
// with a log line.
void InstallActions();

// "uninstall" and "s_uninstall": deletes the service and the driver file.
// A loaded driver stays in memory until Windows restarts.
void UninstallActions();
