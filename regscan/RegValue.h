#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace RegistryKelvadorLib
{
// "HKEY_LOCAL_MACHINE" and the other predefined roots; empty for any other
// handle.
std::wstring RootName(HKEY root);
// The root's name, a backslash and the path.
std::wstring DisplayPath(HKEY root, const std::wstring& path);

// One enumerated registry value; owns a copy of its data. The buffer always
// ends in zero bytes beyond the data, so string data reads as a terminated
// string even when the registry held it without a terminator.
class CRegValue
{
public:
    CRegValue(HKEY root, std::wstring keyPath, std::wstring valueName, DWORD type, std::vector<BYTE> data,
              DWORD dataSize, REGSAM accessFlags);

    HKEY GetRoot() const { return m_root; }
    const std::wstring& GetKeyPath() const { return m_keyPath; }
    const std::wstring& GetValueName() const { return m_valueName; }
    DWORD GetType() const { return m_type; }
    const BYTE* GetData() const { return m_data.data(); }
    DWORD GetDataSize() const { return m_dataSize; }

    // Parameter text for exception messages.
    std::wstring Dump() const { return L"CRegValue::Dump\n"; }

private:
    HKEY m_root;
    std::wstring m_keyPath;
    std::wstring m_valueName;
    DWORD m_type;
    std::vector<BYTE> m_data;
    DWORD m_dataSize;
    REGSAM m_accessFlags;
};

// The data as text: strings up to their first terminator (so only the first
// string of a multi-string), 32-bit numbers as unsigned decimal, a 64-bit
// number as the signed decimal of its first four bytes, "" for other types.
std::wstring DataAsText(const CRegValue& value);
}
