#pragma once
#include <windows.h>

#include <string>

// The bytes of the default English language document the test program
// carries as resource 212.
std::string DefaultLanguageBytes();

std::string Utf8Bytes(const std::wstring& text);

// A string value, or "<missing>" when the value cannot be read.
std::wstring ReadRegistryText(HKEY root, const std::wstring& key, const std::wstring& name);

// Remembers a registry string value and puts it back (or removes it again)
// when the object goes.
class CSavedRegistryValue
{
public:
    CSavedRegistryValue(HKEY root, std::wstring key, std::wstring name);
    ~CSavedRegistryValue();
    CSavedRegistryValue(const CSavedRegistryValue&) = delete;
    CSavedRegistryValue& operator=(const CSavedRegistryValue&) = delete;

    void Set(const std::wstring& value) const;
    void Remove() const;

private:
    HKEY m_root;
    std::wstring m_key;
    std::wstring m_name;
    bool m_existed;
    std::wstring m_value;
};
