#pragma once
#include <string>

class CSettings;

// The address moved from the company's old web domain to the web site host:
// when its host contains the old domain, the scheme is kept, the host is
// replaced and the rest from the first "/" after the host stays as it was.
// Any other address (also one without a scheme) comes back unchanged.
std::wstring MoveOffOldDomain(const std::wstring& url);

// Reads the stored address from the file (when it exists) and, when it is
// on the old domain, hands the moved address to the settings, which write it
// back when they are destroyed.
void RepairUserAddress(const std::wstring& filePath, CSettings& settings);
