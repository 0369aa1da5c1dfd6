#pragma once
#include <windows.h>

// A modeless dialog from a dialog resource whose messages go to
// HandleMessage, written by derived classes as one plain switch. The object
// must outlive its window.
class CModelessDialog
{
public:
    CModelessDialog() = default;
    virtual ~CModelessDialog();
    CModelessDialog(const CModelessDialog&) = delete;
    CModelessDialog& operator=(const CModelessDialog&) = delete;

    HWND Create(HINSTANCE instance, int resourceId, HWND parent);

    HWND Handle() const { return m_window; }
    operator HWND() const { return m_window; }

protected:
    // True when the message was handled; result is then the message's
    // answer (for WM_INITDIALOG: whether to set the default focus).
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Messages whose answer is the dialog procedure's own return value
    // rather than DWLP_MSGRESULT.
    static bool AnswersDirectly(UINT message);

    HWND m_window = nullptr;
};
