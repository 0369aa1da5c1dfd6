#pragma once
#include <string>

// printf-style formatting into a wide string (C99 semantics: "%ls" for wide
// string arguments).
std::wstring FormatText(const wchar_t* format, ...);
