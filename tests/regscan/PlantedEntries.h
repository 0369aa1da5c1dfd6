#pragma once
#include <windows.h>

#include <string>

// One value written into a key the test does not own (a Run key, the fonts
// list), deleted again when the object goes.
class CPlantedValue
{
public:
    CPlantedValue(HKEY root, std::wstring path, std::wstring name, const std::wstring& text);
    ~CPlantedValue();
    CPlantedValue(const CPlantedValue&) = delete;
    CPlantedValue& operator=(const CPlantedValue&) = delete;

private:
    HKEY m_root;
    std::wstring m_path;
    std::wstring m_name;
};
