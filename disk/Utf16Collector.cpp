#include "disk/Utf16Collector.h"

void CUtf16Collector::Append(const char* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i)
    {
        unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (!m_hasLowByte)
        {
            m_lowByte = byte;
            m_hasLowByte = true;
            continue;
        }
        m_text += static_cast<wchar_t>(m_lowByte | (byte << 8));
        m_hasLowByte = false;
    }
}
