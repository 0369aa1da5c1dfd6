#pragma once
#include <string>

// Runs a copy of os_probe.exe (taken from beside the running program) named
// "os_probe_<wineVersion>.exe" in folder. Wine tells that copy the Windows
// version named by wineVersion ("vista", "win7", "winxp64", ...) through
// HKCU\Software\Wine\AppDefaults\<name>\Version. query is the probe's
// optional second argument. Returns what the probe wrote, or "<probe failed>"
// when it could not run.
std::wstring RunOsProbeUnder(const std::wstring& wineVersion, const std::wstring& folder,
                             const std::wstring& query = std::wstring());

// Runs a copy of <stem>.exe (taken from beside the running program) named
// "<stem>_<wineVersion>.exe" in folder, which Wine tells the Windows version
// named by wineVersion, with the arguments. What RunProgramToEnd returns;
// -1 also when the copy fails.
int RunCopyUnder(const std::wstring& stem, const std::wstring& wineVersion, const std::wstring& folder,
                 const std::wstring& arguments);

// Starts the program with the arguments and waits up to a minute for it to
// end. Its exit code, -1 when it could not start, or -2 when it did not end
// in time (it is then ended).
int RunProgramToEnd(const std::wstring& program, const std::wstring& arguments);
