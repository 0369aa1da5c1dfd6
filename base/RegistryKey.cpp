#include "base/RegistryKey.h"

#include <vector>

LONG CRegistryKey::Create(HKEY root, const std::wstring& subKey, REGSAM access)
{
    Close();
    LONG result = RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                  &m_key, nullptr);
    if (result != ERROR_SUCCESS)
        m_key = nullptr;
    return result;
}

LONG CRegistryKey::Open(HKEY root, const std::wstring& subKey, REGSAM access)
{
    Close();
    LONG result = RegOpenKeyExW(root, subKey.c_str(), 0, access, &m_key);
    if (result != ERROR_SUCCESS)
        m_key = nullptr;
    return result;
}

bool CRegistryKey::ReadString(const std::wstring& name, std::wstring& value, DWORD maxChars) const
{
    if (!m_key)
        return false;
    std::vector<wchar_t> buffer(maxChars + 1, L'\0');
    DWORD type = 0;
    DWORD bytes = maxChars * sizeof(wchar_t);
    LONG result = RegQueryValueExW(m_key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                   &bytes);
    if (result != ERROR_SUCCESS || type != REG_SZ)
    {
        SetLastError(result != ERROR_SUCCESS ? static_cast<DWORD>(result) : ERROR_INVALID_DATA);
        return false;
    }
    // The stored data need not end with a terminator; the spare last
    // element of the buffer always is one.
    value.assign(buffer.data());
    return true;
}

bool CRegistryKey::WriteString(const std::wstring& name, const std::wstring& value)
{
    if (!m_key)
        return false;
    LONG result = RegSetValueExW(m_key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (result != ERROR_SUCCESS)
    {
        SetLastError(static_cast<DWORD>(result));
        return false;
    }
    return true;
}

bool CRegistryKey::ReadDword(const std::wstring& name, DWORD& value) const
{
    if (!m_key)
        return false;
    DWORD type = 0;
    DWORD data = 0;
    DWORD bytes = sizeof(data);
    LONG result = RegQueryValueExW(m_key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &bytes);
    if (result != ERROR_SUCCESS || type != REG_DWORD || bytes != sizeof(data))
    {
        SetLastError(result != ERROR_SUCCESS ? static_cast<DWORD>(result) : ERROR_INVALID_DATA);
        return false;
    }
    value = data;
    return true;
}

bool CRegistryKey::WriteDword(const std::wstring& name, DWORD value)
{
    if (!m_key)
        return false;
    LONG result = RegSetValueExW(m_key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    if (result != ERROR_SUCCESS)
    {
        SetLastError(static_cast<DWORD>(result));
        return false;
    }
    return true;
}

void CRegistryKey::Close()
{
    if (m_key)
        RegCloseKey(m_key);
    m_key = nullptr;
}
