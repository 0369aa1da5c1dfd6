#pragma once
#include <cstddef>
#include <string>

// Collects UTF-16LE text that arrives as bytes in pieces of any length. A
// code unit whose two bytes arrive in different pieces is completed when its
// second byte comes.
class CUtf16Collector
{
public:
    void Append(const char* bytes, size_t count);
    const std::wstring& Text() const { return m_text; }

private:
    std::wstring m_text;
    bool m_hasLowByte = false;
    unsigned char m_lowByte = 0;
};
