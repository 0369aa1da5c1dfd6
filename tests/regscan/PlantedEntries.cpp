#include "tests/regscan/PlantedEntries.h"


CPlantedValue::CPlantedValue(HKEY root, std::wstring path, std::wstring name, const std::wstring& text)
    : m_root(root), m_path(std::move(path)), m_name(std::move(name))
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(m_root, m_path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, m_name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

CPlantedValue::~CPlantedValue()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(m_root, m_path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(key, m_name.c_str());
    RegCloseKey(key);
}
