#include "testbed/ProgramLog.h"

#include <windows.h>

#include "shell/Module.h"
#include "shell/StringFormat.h"

CProgramLogTail::CProgramLogTail()
{
    static LONG counter = 0;
    m_mark = FormatText(L"test log mark %lu.%lu.%ld", GetCurrentProcessId(), GetTickCount(),
                        InterlockedIncrement(&counter)) + L"\r\n";
    g_module.Log(m_mark.substr(0, m_mark.size() - 2));
}

std::wstring CProgramLogTail::NewText() const
{
    const std::wstring text = ReadProgramLog();
    const size_t mark = text.rfind(m_mark);
    return mark == std::wstring::npos ? std::wstring() : text.substr(mark + m_mark.size());
}

int CProgramLogTail::Count(const std::wstring& text) const
{
    const std::wstring lines = NewText();
    int count = 0;
    for (size_t at = lines.find(text); at != std::wstring::npos; at = lines.find(text, at + text.size()))
        ++count;
    return count;
}
