#pragma once
#include <windows.h>

#include <string>

namespace RegistryKelvadorLib
{
// One open registry key, closed when the holder goes.
class CScopedKey
{
public:
    CScopedKey() = default;
    ~CScopedKey() { Close(); }
    CScopedKey(const CScopedKey&) = delete;
    CScopedKey& operator=(const CScopedKey&) = delete;

    // The registry's error code; ERROR_SUCCESS when the key is open.
    LONG Open(HKEY parent, const std::wstring& subKey, REGSAM access);
    void Close();

    HKEY Get() const { return m_key; }
    explicit operator bool() const { return m_key != nullptr; }

private:
    HKEY m_key = nullptr;
};

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
