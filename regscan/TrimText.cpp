#include "regscan/TrimText.h"

namespace RegistryKelvadorLib
{
std::wstring TrimText(const std::wstring& text, const wchar_t* trimmed)
{
    size_t first = text.find_first_not_of(trimmed);
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(trimmed) - first + 1);
}
}
