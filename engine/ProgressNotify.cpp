#include "engine/ProgressNotify.h"

void CProgressNotify::Init(HWND window, UINT message)
{
    m_window = window;
    m_message = message;
}

LRESULT CProgressNotify::Send(WPARAM wParam, LPARAM lParam) const
{
    if (!IsWindow(m_window))
        return 0;
    return SendMessageW(m_window, m_message, wParam, lParam);
}

BOOL CProgressNotify::Post(WPARAM wParam, LPARAM lParam) const
{
    if (!IsWindow(m_window))
        return FALSE;
    return PostMessageW(m_window, m_message, wParam, lParam);
}
