#include "testbed/support/UrlRecorder.h"

#include <windows.h>

#include "testbed/support/FileBytes.h"

// Nothing of the shell library here: the window tests, which must not hold
// the application singleton, use the recorder too.
namespace
{
const wchar_t kHttpOpenCommandKey[] = L"http\\shell\\open\\command";
const DWORD kPollIntervalMs = 50;

std::wstring RecorderPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\')) + L"\\url_recorder.exe";
}

bool SetOpenCommand(const std::wstring& command)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kHttpOpenCommandKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                       static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool ReadOpenCommand(std::wstring& command)
{
    wchar_t text[4096] = {};
    LONG size = sizeof(text) - sizeof(wchar_t);
    if (RegQueryValueW(HKEY_CLASSES_ROOT, kHttpOpenCommandKey, text, &size) != ERROR_SUCCESS)
        return false;
    command = text;
    return true;
}
}

CUrlRecorder::CUrlRecorder(std::wstring recordFile) : m_recordFile(std::move(recordFile))
{
    DeleteFileW(m_recordFile.c_str());
    m_hadCommand = ReadOpenCommand(m_previousCommand);
    const std::wstring recorder = RecorderPath();
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
    std::vector<std::wstring> urls;
    const std::wstring text = ReadFileText(m_recordFile);
    // Only complete lines: a recorder may be writing the last one.
    size_t start = 0;
    for (size_t end = text.find(L"\r\n"); end != std::wstring::npos; end = text.find(L"\r\n", start))
    {
        urls.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return urls;
}
