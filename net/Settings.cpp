#include "net/Settings.h"

#include <windows.h>

#include <vector>

#include "engine/ScopedHandle.h"
#include "shell/Folders.h"
#include "shell/Module.h"

CSettings::CSettings() : CSettings(GetAppDataFolder() + L"\\user_url")
{
}

CSettings::CSettings(std::wstring filePath) : m_filePath(std::move(filePath))
{
    Load();
}

CSettings::~CSettings()
{
    Save();
}

void CSettings::SetUrl(const std::wstring& url)
{
    const std::wstring bounded = url.substr(0, kMaxUrlLength);
    if (bounded == m_url)
        return;
    m_url = bounded;
    m_changed = true;
}

void CSettings::Load()
{
    CScopedHandle file = AdoptFileHandle(CreateFileW(m_filePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
    {
        g_module.LogError(L"Cannot load user's url", GetLastError());
        return;
    }
    m_url = ReadStoredUrl(file.Get());
}

void CSettings::Save() const
{
    if (!m_changed || m_url.empty())
        return;
    CScopedHandle file = AdoptFileHandle(CreateFileW(m_filePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                     FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!file)
    {
        g_module.LogError(L"Cannot save user's url", GetLastError());
        return;
    }
    const DWORD bytes = static_cast<DWORD>((m_url.size() + 1) * sizeof(wchar_t));
    DWORD written = 0;
    if (!WriteFile(file.Get(), m_url.c_str(), bytes, &written, nullptr) || written != bytes)
        g_module.LogError(L"Cannot save user's url", GetLastError());
}

std::wstring ReadStoredUrl(HANDLE file)
{
    // Only the first kMaxUrlLength characters can matter; a longer file (or
    // one of odd length, or without a NUL) is read within these bounds.
    std::vector<wchar_t> text(CSettings::kMaxUrlLength + 1, L'\0');
    DWORD bytesRead = 0;
    if (!ReadFile(file, text.data(), static_cast<DWORD>(CSettings::kMaxUrlLength * sizeof(wchar_t)), &bytesRead,
                  nullptr))
        return std::wstring();
    const size_t units = bytesRead / sizeof(wchar_t);
    size_t length = 0;
    while (length < units && text[length] != L'\0')
        ++length;
    return std::wstring(text.data(), length);
}
