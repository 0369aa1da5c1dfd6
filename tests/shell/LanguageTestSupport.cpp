#include "tests/shell/LanguageTestSupport.h"

#include "resources/ResourceIds.h"
#include "shell/RegistryKey.h"

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
    if (!opened.Create(root, key, KEY_READ) || !opened.ReadString(name, value, 1024))
        return L"<missing>";
    return value;
}

CSavedRegistryValue::CSavedRegistryValue(HKEY root, std::wstring key, std::wstring name)
    : m_root(root), m_key(std::move(key)), m_name(std::move(name))
{
    m_value = ReadRegistryText(m_root, m_key, m_name);
    m_existed = m_value != L"<missing>";
}

CSavedRegistryValue::~CSavedRegistryValue()
{
    if (m_existed)
        Set(m_value);
    else
        Remove();
}

void CSavedRegistryValue::Set(const std::wstring& value) const
{
    CRegistryKey key;
    if (key.Create(m_root, m_key, KEY_WRITE))
        key.WriteString(m_name, value);
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
