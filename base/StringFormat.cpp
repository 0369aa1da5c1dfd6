#include "base/StringFormat.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::wstring FormatText(const wchar_t* format, ...)
{
    std::vector<wchar_t> buffer(256);
    for (;;)
    {
        va_list args;
        va_start(args, format);
        int written = vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size())
            return std::wstring(buffer.data(), written);
        if (buffer.size() >= (1u << 24))
            return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}
