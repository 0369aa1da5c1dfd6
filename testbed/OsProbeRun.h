#pragma once
#include <string>

// Runs a copy of os_probe.exe (taken from beside the running program) named
// "os_probe_<wineVersion>.exe" in folder. Wine tells that copy the Windows
// version named by wineVersion ("vista", "win7", "winxp64", ...) through
// HKCU\Software\Wine\AppDefaults\<name>\Version. query is the probe's
// optional second argument. Returns what the probe wrote, or a text in
// angle brackets when it could not run.
std::wstring RunOsProbeUnder(const std::wstring& wineVersion, const std::wstring& folder,
                             const std::wstring& query = std::wstring());
