#include "shell/gui/ModelessDialog.h"

CModelessDialog::~CModelessDialog()
{
    if (m_window)
        DestroyWindow(m_window);
}

HWND CModelessDialog::Create(HINSTANCE instance, int resourceId, HWND parent)
{
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(resourceId), parent, &CModelessDialog::DialogProc,
                              reinterpret_cast<LPARAM>(this));
}

bool CModelessDialog::AnswersDirectly(UINT message)
{
    switch (message)
    {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

INT_PTR CALLBACK CModelessDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
    {
        auto* self = reinterpret_cast<CModelessDialog*>(lParam);
        self->m_window = window;
        SetWindowLongPtrW(window, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<CModelessDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!self)
        return FALSE;

    LRESULT result = 0;
    const bool handled = self->HandleMessage(message, wParam, lParam, result);
    if (message == WM_NCDESTROY)
    {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->m_window = nullptr;
    }
    if (!handled)
        return FALSE;
    if (AnswersDirectly(message))
        return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}
