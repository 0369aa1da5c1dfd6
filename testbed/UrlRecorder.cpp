#include "testbed/UrlRecorder.h"

#include <windows.h>

#include "engine/ScopedHandle.h"
#include "shell/Folders.h"
#include "shell/RegistryKey.h"

namespace
{
const wchar_t kHttpOpenCommandKey[] = L"http\\shell\\open\\command";
const DWORD kMaxCommandChars = 4096;
const DWORD kPollIntervalMs = 50;

bool SetOpenCommand(const std::wstring& command)
{
    CRegistryKey key;
    return key.Create(HKEY_CLASSES_ROOT, kHttpOpenCommandKey, KEY_READ | KEY_WRITE) && key.WriteString(L"", command);
}
}

CUrlRecorder::CUrlRecorder(std::wstring recordFile) : m_recordFile(std::move(recordFile))
{
    DeleteFileW(m_recordFile.c_str());
    CRegistryKey key;
    m_hadCommand = key.Open(HKEY_CLASSES_ROOT, kHttpOpenCommandKey, KEY_READ)
        && key.ReadString(L"", m_previousCommand, kMaxCommandChars);
    const std::wstring recorder = GetProgramFolder() + L"\\url_recorder.exe";
    m_registered = GetFileAttributesW(recorder.c_str()) != INVALID_FILE_ATTRIBUTES
        && SetOpenCommand(L"\"" + recorder + L"\" \"" + m_recordFile + L"\" \"%1\"");
}

CUrlRecorder::~CUrlRecorder()
{
    if (m_hadCommand)
        SetOpenCommand(m_previousCommand);
    else
        RegDeleteKeyW(HKEY_CLASSES_ROOT, kHttpOpenCommandKey);
}

std::vector<std::wstring> CUrlRecorder::WaitForUrls(size_t count, unsigned long timeoutMs) const
{
    const DWORD start = GetTickCount();
    std::vector<std::wstring> urls = ReadUrls();
    while (urls.size() < count && GetTickCount() - start < timeoutMs)
    {
        Sleep(kPollIntervalMs);
        urls = ReadUrls();
    }
    return urls;
}

std::vector<std::wstring> CUrlRecorder::ReadUrls() const
{
    CScopedHandle file = AdoptFileHandle(CreateFileW(m_recordFile.c_str(), GENERIC_READ,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                                     nullptr));
    std::vector<std::wstring> urls;
    if (!file)
        return urls;
    std::wstring text(GetFileSize(file.Get(), nullptr) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ReadFile(file.Get(), &text[0], static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    text.resize(read / sizeof(wchar_t));
    // Only complete lines: a recorder may be writing the last one.
    size_t start = 0;
    for (size_t end = text.find(L"\r\n"); end != std::wstring::npos; end = text.find(L"\r\n", start))
    {
        urls.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return urls;
}
