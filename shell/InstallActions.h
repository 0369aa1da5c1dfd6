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

// The exit codes of "install" and "s_install": what became of the driver.
enum InstallResult
{
    kDriverInstalled = 0,
    kDriverNotCopied = 1,
    kDriverNotRegistered = 2,
    kDriverNotStarted = 3,
};

// "install" and "s_install": moves a stored user address off the old web
// domain, stops a driver of an earlier installation, copies the driver
// (overwriting the older copy), creates the service (or brings the existing
// one to this installation's settings), starts it, and notes that Windows
// must restart. Stops at the first failure with a log line; the result
// says where.
InstallResult InstallActions();

// "uninstall" and "s_uninstall": stops the driver, deletes the service and
// the driver file. True when neither is left.
bool UninstallActions();
