#pragma once
#include <windows.h>

#include <string>

#include "base/RegistryKey.h"

namespace RegistryKelvadorLib
{
// What a key holds, as the registry reports it.
struct KeyCounts
{
    DWORD subkeys = 0;
    DWORD longestSubkey = 0;
    DWORD values = 0;
    DWORD longestValueName = 0;
    DWORD longestValueData = 0;
};
LONG QueryCounts(HKEY key, KeyCounts& counts);

// Read access is enough to tell whether a key is there.
bool KeyExists(HKEY root, const std::wstring& path);

// A REG_SZ or REG_EXPAND_SZ value of at most maxChars characters, as
// stored (not expanded). False when it is missing, of another type or
// longer.
bool ReadStringValue(HKEY key, const std::wstring& name, DWORD maxChars, std::wstring& text);

// Environment variables replaced by their values; unknown ones stay as
// written.
std::wstring ExpandEnvironment(const std::wstring& text);
std::wstring ToLower(std::wstring text);
}
