#include "testbed/support/LogRecorder.h"

#include <windows.h>

#include "base/Folders.h"
#include "testbed/support/FileBytes.h"

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
    return ReadFileText(GetAppDataFolder() + L"\\tessarin.log");
}
