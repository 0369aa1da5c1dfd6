#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "testbed/support/FileBytes.h"

void DeleteTree(const std::wstring& path);

// An empty folder of its own below the temporary folder, removed with all
// its content when the object goes.
class CScratchFolder
{
public:
    CScratchFolder()
    {
        static int counter = 0;
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        m_path = temp + (L"tessarin_shell_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++counter));
        DeleteTree(m_path);
        ::CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~CScratchFolder() { DeleteTree(m_path); }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

inline bool PathExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// UTF-16LE bytes of a text, and back (an odd last byte is dropped).
inline std::string Utf16Bytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

inline std::wstring Utf16Text(const std::string& bytes)
{
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

// Splits at CR LF; text after the last CR LF is the last item.
std::vector<std::wstring> SplitLines(const std::wstring& text);

inline bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

inline bool EndsWith(const std::wstring& text, const std::wstring& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}
