#include "net/HttpParameters.h"

#include <windows.h>

namespace Utils { namespace Network {

bool ToUtf8(const std::wstring& text, std::string& utf8)
{
    utf8.clear();
    if (text.empty())
        return true;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    if (size <= 0)
        return false;
    utf8.resize(size);
    return WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], size, nullptr,
                               nullptr) == size;
}

std::string EncodeBase64(const std::string& bytes)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3)
    {
        const size_t count = bytes.size() - i < 3 ? bytes.size() - i : 3;
        unsigned int group = static_cast<unsigned char>(bytes[i]) << 16;
        if (count > 1)
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (count > 2)
            group |= static_cast<unsigned char>(bytes[i + 2]);
        text += kAlphabet[(group >> 18) & 0x3F];
        text += kAlphabet[(group >> 12) & 0x3F];
        text += count > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=';
        text += count > 2 ? kAlphabet[group & 0x3F] : '=';
    }
    return text;
}

std::string PercentEncode(const std::string& bytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size());
    for (unsigned char byte : bytes)
    {
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '.' || byte == '_' || byte == '~')
        {
            text += static_cast<char>(byte);
        }
        else
        {
            text += '%';
            text += kHex[byte >> 4];
            text += kHex[byte & 0x0F];
        }
    }
    return text;
}

namespace
{
std::string JoinField(const std::string& name, const std::string& value)
{
    return PercentEncode(name) + "=" + PercentEncode(value);
}
}

CSimpleTextParameter::CSimpleTextParameter(const std::wstring& name, const std::wstring& value)
{
    std::string utf8Name, utf8Value;
    if (ToUtf8(name, utf8Name) && ToUtf8(value, utf8Value))
        m_data = JoinField(utf8Name, utf8Value);
}

const char* CSimpleTextParameter::GetData(size_t& length) const
{
    length = m_data.size();
    return m_data.empty() ? nullptr : m_data.data();
}

CBase64ValueParamenter::CBase64ValueParamenter(const std::wstring& name, const std::wstring& value)
{
    std::string utf8Name, utf8Value;
    if (ToUtf8(name, utf8Name) && ToUtf8(value, utf8Value))
        m_data = JoinField(utf8Name, EncodeBase64(utf8Value));
}

bool CSimplePostParametersSet::Add(const IParameter& parameter)
{
    if (!m_data.empty())
        m_data += '&';
    size_t length = 0;
    const char* bytes = parameter.GetData(length);
    if (!bytes || length == 0)
        return false;
    m_data.append(bytes, length);
    return true;
}

const char* CSimplePostParametersSet::GetData(size_t& length) const
{
    length = m_data.size();
    return m_data.data();
}

}} // namespace Utils::Network
