#pragma once
#include <windows.h>

// A window of a class of our own whose messages go to HandleMessage, which
// derived classes write as one plain switch over the messages they handle.
// The object must outlive its window.
class CWindow
{
public:
    CWindow() = default;
    virtual ~CWindow();
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;

    // Registers the class on first use and creates the window.
    HWND Create(const wchar_t* className, HWND parent, const RECT& rect, DWORD style, DWORD exStyle = 0,
                UINT id = 0, const wchar_t* text = L"");

    HWND Handle() const { return m_window; }
    operator HWND() const { return m_window; }

protected:
    // True when the message was handled; result is then what the window
    // procedure returns. Unhandled messages go to DefWindowProcW.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // Called after WM_NCDESTROY, with the handle already cleared.
    virtual void OnFinalMessage() {}

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_window = nullptr;
};
