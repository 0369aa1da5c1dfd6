#pragma once
#include <windows.h>

// Where a test's progress goes: one window and one message number. Messages
// reach the window only while it exists.
class CProgressNotify
{
public:
    virtual ~CProgressNotify() = default;

    void Init(HWND window, UINT message);

    // The window's answer, or 0 when there is no window.
    LRESULT Send(WPARAM wParam, LPARAM lParam) const;
    // FALSE when there is no window or the post failed.
    BOOL Post(WPARAM wParam, LPARAM lParam) const;

private:
    HWND m_window = nullptr;
    UINT m_message = 0;
};
