#include "testbed/support/LogRecorder.h"

#include <windows.h>

#include "base/Folders.h"
#include "base/ScopedHandle.h"

CLogRecorder::CLogRecorder() : m_previous(SetLogSink(this))
{
}

CLogRecorder::~CLogRecorder()
{
    SetLogSink(m_previous);
}

void CLogRecorder::Write(const std::wstring& text)
{
    CCriticalSectionLock lock(m_lock);
    m_text += text + L"\r\n";
}

std::wstring CLogRecorder::NewText() const
{
    CCriticalSectionLock lock(m_lock);
    return m_text;
}

int CLogRecorder::Count(const std::wstring& text) const
{
    const std::wstring lines = NewText();
    int count = 0;
    for (size_t at = lines.find(text); at != std::wstring::npos; at = lines.find(text, at + text.size()))
        ++count;
    return count;
}

std::wstring ReadProgramLog()
{
    std::wstring path = GetAppDataFolder() + L"\\tessarin.log";
    CScopedHandle file = AdoptFileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                     nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return std::wstring();
    std::wstring text(GetFileSize(file.Get(), nullptr) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ReadFile(file.Get(), &text[0], static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    text.resize(read / sizeof(wchar_t));
    return text;
}
