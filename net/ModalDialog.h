#pragma once
#include <windows.h>

// A modal dialog from a template of the program's resources. Derived
// classes handle the messages they need; the rest get the default
// handling.
class CModalDialog
{
public:
    explicit CModalDialog(int templateId) : m_templateId(templateId) {}
    virtual ~CModalDialog() = default;
    CModalDialog(const CModalDialog&) = delete;
    CModalDialog& operator=(const CModalDialog&) = delete;

    // The result the dialog ended with; -1 when it could not be shown.
    INT_PTR DoModal(HWND owner);

protected:
    // True when the message was handled (its result in result).
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    HWND Handle() const { return m_window; }
    void End(INT_PTR result) { EndDialog(m_window, result); }
    // The program's icon, big and small, for the dialog's caption and task
    // bar button.
    void SetProgramIcons();

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int m_templateId;
    HWND m_window = nullptr;
};
