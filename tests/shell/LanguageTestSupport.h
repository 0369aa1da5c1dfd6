#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The bytes of the default English language document the test program
// carries as resource 212.
std::string DefaultLanguageBytes();

std::string Utf8Bytes(const std::wstring& text);

// A string value, or "<missing>" when the value cannot be read.
std::wstring ReadRegistryText(HKEY root, const std::wstring& key, const std::wstring& name);

// Remembers a registry value of any type and puts it back (or removes it
// again) when the object goes. Setting a value creates its key.
class CSavedRegistryValue
{
public:
    CSavedRegistryValue(HKEY root, std::wstring key, std::wstring name);
    ~CSavedRegistryValue();
    CSavedRegistryValue(const CSavedRegistryValue&) = delete;
    CSavedRegistryValue& operator=(const CSavedRegistryValue&) = delete;

    void Set(const std::wstring& value) const;
    void SetDword(DWORD value) const { SetRaw(REG_DWORD, &value, sizeof(value)); }
    void SetRaw(DWORD type, const void* data, DWORD bytes) const;
    void Remove() const;

private:
    HKEY m_root;
    std::wstring m_key;
    std::wstring m_name;
    bool m_existed = false;
    DWORD m_type = 0;
    std::vector<BYTE> m_data;
};
