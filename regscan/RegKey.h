#pragma once
#include <windows.h>

#include <string>
#include <vector>

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

// Whether an enumeration by index goes on after a read with this result.
// An entry that has grown too long for the buffer since the key was queried
// is skipped; any other failure ends it, as it would fail the same way at
// every further index (a key deleted while open, for one).
bool EnumerationGoesOn(LONG result);

// The subkey names of an open key, read by index up to the number of
// subkeys the key was found to hold, and no further than the first failure
// that ends an enumeration.
class CSubkeyNames
{
public:
    CSubkeyNames(HKEY key, DWORD count, DWORD longestName);

    // The next name; false at the end.
    bool Next(std::wstring& name);
    // The index of the name last read: skipped names are counted too.
    DWORD Index() const { return m_next - 1; }

private:
    HKEY m_key;
    DWORD m_count;
    DWORD m_next = 0;
    std::vector<wchar_t> m_name;
};

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
