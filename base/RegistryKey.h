#pragma once
#include <windows.h>

#include <string>

// One open registry key, closed when the object goes.
class CRegistryKey
{
public:
    CRegistryKey() = default;
    ~CRegistryKey() { Close(); }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // Opens the key, creating it when it is missing. The registry's error
    // code; ERROR_SUCCESS when the key is open.
    LONG Create(HKEY root, const std::wstring& subKey, REGSAM access);
    // Opens an existing key only. The registry's error code; ERROR_SUCCESS
    // when the key is open.
    LONG Open(HKEY root, const std::wstring& subKey, REGSAM access);

    HKEY Get() const { return m_key; }
    explicit operator bool() const { return m_key != nullptr; }

    // A string value of at most maxChars characters (terminator included).
    // False (with the error code in GetLastError) when the value is missing,
    // not a string or longer.
    bool ReadString(const std::wstring& name, std::wstring& value, DWORD maxChars) const;
    bool WriteString(const std::wstring& name, const std::wstring& value);

    // A REG_DWORD value. False when the value is missing or of another type.
    bool ReadDword(const std::wstring& name, DWORD& value) const;
    bool WriteDword(const std::wstring& name, DWORD value);

    void Close();

private:
    HKEY m_key = nullptr;
};
