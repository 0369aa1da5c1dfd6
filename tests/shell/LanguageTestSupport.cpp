#include "tests/shell/LanguageTestSupport.h"

#include "resources/ResourceIds.h"
#include "base/RegistryKey.h"

std::string DefaultLanguageBytes()
{
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_DEFAULT_LANGUAGE), L"XML");
    HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(nullptr, resource)) : std::string();
}

std::string Utf8Bytes(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    return bytes;
}

std::wstring ReadRegistryText(HKEY root, const std::wstring& key, const std::wstring& name)
{
    CRegistryKey opened;
    std::wstring value;
    if (opened.Create(root, key, KEY_READ) != ERROR_SUCCESS || !opened.ReadString(name, value, 1024))
        return L"<missing>";
    return value;
}

CSavedRegistryValue::CSavedRegistryValue(HKEY root, std::wstring key, std::wstring name)
    : m_root(root), m_key(std::move(key)), m_name(std::move(name))
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(m_root, m_key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return;
    DWORD bytes = 0;
    if (RegQueryValueExW(opened, m_name.c_str(), nullptr, &m_type, nullptr, &bytes) == ERROR_SUCCESS)
    {
        m_data.resize(bytes);
        m_existed = RegQueryValueExW(opened, m_name.c_str(), nullptr, &m_type, m_data.data(), &bytes)
            == ERROR_SUCCESS;
    }
    RegCloseKey(opened);
}

CSavedRegistryValue::~CSavedRegistryValue()
{
    if (m_existed)
        SetRaw(m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
    else
        Remove();
}

void CSavedRegistryValue::Set(const std::wstring& value) const
{
    SetRaw(REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void CSavedRegistryValue::SetRaw(DWORD type, const void* data, DWORD bytes) const
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(m_root, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, m_name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(key);
}

void CSavedRegistryValue::Remove() const
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(m_root, m_key.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS)
    {
        RegDeleteValueW(key, m_name.c_str());
        RegCloseKey(key);
    }
}
