#include "testbed/support/MessageBoxAnswerer.h"

#include <process.h>

namespace
{
const DWORD kPollIntervalMs = 20;

std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, static_cast<int>(sizeof(text) / sizeof(text[0])));
    return text;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, static_cast<int>(sizeof(name) / sizeof(name[0])));
    return name;
}

// The box's message: its static control with a text (the icon is a static
// without one). Windows and Wine give it different control ids.
BOOL CALLBACK FindMessageText(HWND child, LPARAM param)
{
    if (lstrcmpiW(ClassName(child).c_str(), L"Static") != 0)
        return TRUE;
    std::wstring text = WindowText(child);
    if (text.empty())
        return TRUE;
    *reinterpret_cast<std::wstring*>(param) = text;
    return FALSE;
}
}

CMessageBoxAnswerer::CMessageBoxAnswerer(std::wstring title, int button)
    : m_title(std::move(title)), m_button(button), m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CMessageBoxAnswerer::Watch, this, 0, nullptr)));
}

CMessageBoxAnswerer::~CMessageBoxAnswerer()
{
    SetEvent(m_stop.Get());
    if (m_thread)
        WaitForSingleObject(m_thread.Get(), INFINITE);
}

bool CMessageBoxAnswerer::WaitForAnswers(size_t count, DWORD timeoutMs) const
{
    const DWORD start = GetTickCount();
    for (;;)
    {
        {
            CCriticalSectionLock lock(m_lock);
            if (m_texts.size() >= count)
                return true;
        }
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
}

std::vector<std::wstring> CMessageBoxAnswerer::Texts() const
{
    CCriticalSectionLock lock(m_lock);
    return m_texts;
}

unsigned __stdcall CMessageBoxAnswerer::Watch(void* param)
{
    CMessageBoxAnswerer* self = static_cast<CMessageBoxAnswerer*>(param);
    while (WaitForSingleObject(self->m_stop.Get(), kPollIntervalMs) == WAIT_TIMEOUT)
    {
        {
            CCriticalSectionLock lock(self->m_lock);
            for (auto it = self->m_answered.begin(); it != self->m_answered.end();)
                it = IsWindow(*it) ? std::next(it) : self->m_answered.erase(it);
        }
        EnumWindows(&CMessageBoxAnswerer::VisitWindow, reinterpret_cast<LPARAM>(self));
    }
    return 0;
}

BOOL CALLBACK CMessageBoxAnswerer::VisitWindow(HWND window, LPARAM param)
{
    reinterpret_cast<CMessageBoxAnswerer*>(param)->AnswerIfWanted(window);
    return TRUE;
}

void CMessageBoxAnswerer::AnswerIfWanted(HWND window)
{
    // A box becomes visible only once its text is set. The main window is a
    // dialog with the same title, but without a caption.
    if (!IsWindowVisible(window) || ClassName(window) != L"#32770" || !(GetWindowLongW(window, GWL_STYLE) & WS_CAPTION))
        return;
    const std::wstring title = WindowText(window);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    const bool wanted = title == m_title;
    if (!wanted && owner != GetCurrentProcessId())
        return;
    bool first = false;
    {
        CCriticalSectionLock lock(m_lock);
        first = m_answered.insert(window).second;
    }
    if (first)
    {
        std::wstring text;
        EnumChildWindows(window, &FindMessageText, reinterpret_cast<LPARAM>(&text));
        CCriticalSectionLock lock(m_lock);
        m_texts.push_back(wanted ? text : L"[" + title + L"] " + text);
    }
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(wanted ? m_button : IDCANCEL, BN_CLICKED), 0);
}
