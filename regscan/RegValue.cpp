#include "regscan/RegValue.h"

#include <algorithm>
#include <cstring>

#include "base/StringFormat.h"

namespace RegistryKelvadorLib
{
namespace
{
struct RootEntry
{
    HKEY root;
    const wchar_t* name;
};

const RootEntry kRoots[] = {
    {HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT"},   {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"}, {HKEY_USERS, L"HKEY_USERS"},
    {HKEY_CURRENT_CONFIG, L"HKEY_CURRENT_CONFIG"},
};

// Zero bytes kept after the data: a wide terminator for odd and even
// sizes alike, and room for the four bytes a number is read from.
const size_t kPadding = 4;

DWORD ReadDword(const CRegValue& value)
{
    DWORD number = 0;
    std::memcpy(&number, value.GetData(), sizeof(number));
    return number;
}
}

std::wstring RootName(HKEY root)
{
    for (const RootEntry& entry : kRoots)
        if (entry.root == root)
            return entry.name;
    return std::wstring();
}

std::wstring DisplayPath(HKEY root, const std::wstring& path)
{
    return RootName(root) + L"\\" + path;
}

CRegValue::CRegValue(HKEY root, std::wstring keyPath, std::wstring valueName, DWORD type, std::vector<BYTE> data,
                     DWORD dataSize, REGSAM accessFlags)
    : m_root(root),
      m_keyPath(std::move(keyPath)),
      m_valueName(std::move(valueName)),
      m_type(type),
      m_data(std::move(data)),
      m_dataSize(dataSize),
      m_accessFlags(accessFlags)
{
    // Whatever the buffer held beyond the data is not part of the value.
    m_data.resize(std::max<size_t>(m_dataSize, sizeof(DWORD)) + kPadding, 0);
    std::fill(m_data.begin() + m_dataSize, m_data.end(), 0);
}

std::wstring DataAsText(const CRegValue& value)
{
    switch (value.GetType())
    {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_LINK:
    case REG_MULTI_SZ:
    {
        // Copied, since the buffer need not be aligned for wide characters.
        std::wstring text(value.GetDataSize() / sizeof(wchar_t), L'\0');
        std::memcpy(&text[0], value.GetData(), text.size() * sizeof(wchar_t));
        return text.substr(0, text.find(L'\0'));
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
        return FormatText(L"%u", static_cast<unsigned>(ReadDword(value)));
    case REG_QWORD:
        return FormatText(L"%d", static_cast<int>(ReadDword(value)));
    default:
        return std::wstring();
    }
}
}
