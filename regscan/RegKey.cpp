#include "regscan/RegKey.h"

#include <vector>

namespace RegistryKelvadorLib
{
LONG CScopedKey::Open(HKEY parent, const std::wstring& subKey, REGSAM access)
{
    Close();
    LONG result = RegOpenKeyExW(parent, subKey.c_str(), 0, access, &m_key);
    if (result != ERROR_SUCCESS)
        m_key = nullptr;
    return result;
}

void CScopedKey::Close()
{
    if (m_key)
        RegCloseKey(m_key);
    m_key = nullptr;
}

LONG QueryCounts(HKEY key, KeyCounts& counts)
{
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &counts.subkeys, &counts.longestSubkey, nullptr,
                            &counts.values, &counts.longestValueName, &counts.longestValueData, nullptr, nullptr);
}

bool EnumerationGoesOn(LONG result)
{
    return result == ERROR_SUCCESS || result == ERROR_MORE_DATA;
}

CSubkeyNames::CSubkeyNames(HKEY key, DWORD count, DWORD longestName)
    : m_key(key), m_count(count), m_name(longestName + 1, L'\0')
{
}

bool CSubkeyNames::Next(std::wstring& name)
{
    while (m_next < m_count)
    {
        DWORD nameChars = static_cast<DWORD>(m_name.size());
        LONG result = RegEnumKeyExW(m_key, m_next++, m_name.data(), &nameChars, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_SUCCESS)
        {
            name.assign(m_name.data(), nameChars);
            return true;
        }
        if (!EnumerationGoesOn(result))
            m_count = 0;
    }
    return false;
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    CScopedKey key;
    return key.Open(root, path, KEY_READ) == ERROR_SUCCESS;
}

bool ReadStringValue(HKEY key, const std::wstring& name, DWORD maxChars, std::wstring& text)
{
    // One spare element: the stored data need not end with a terminator.
    std::vector<wchar_t> buffer(maxChars + 1, L'\0');
    DWORD type = 0;
    DWORD bytes = maxChars * sizeof(wchar_t);
    LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buffer[bytes / sizeof(wchar_t)] = L'\0';
    text.assign(buffer.data());
    return true;
}

std::wstring ExpandEnvironment(const std::wstring& text)
{
    // The system expands at most this many characters and cuts off the rest.
    const size_t kLongestExpandable = 32766;
    if (text.size() > kLongestExpandable)
        return text;
    std::vector<wchar_t> buffer(text.size() + 256);
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        DWORD needed = ExpandEnvironmentStringsW(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (needed == 0)
            return text;
        if (needed <= buffer.size())
            return std::wstring(buffer.data());
        buffer.resize(needed);
    }
    return text;
}

std::wstring ToLower(std::wstring text)
{
    // The system's case mapping, which knows letters beyond ASCII.
    if (!text.empty())
        CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}
}
