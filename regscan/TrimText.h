#pragma once
#include <string>

namespace RegistryKelvadorLib
{
// The text without the characters of `trimmed` at either end.
std::wstring TrimText(const std::wstring& text, const wchar_t* trimmed);
}
