#include "net/ModalDialog.h"

#include "resources/ResourceIds.h"

INT_PTR CModalDialog::DoModal(HWND owner)
{
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), owner, &DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CModalDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
    {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<CModalDialog*>(lParam)->m_window = window;
    }
    auto* self = reinterpret_cast<CModalDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!self)
        return FALSE;
    LRESULT result = FALSE;
    if (!self->HandleMessage(message, wParam, lParam, result))
        return FALSE;
    if (message == WM_INITDIALOG)
        return result;
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

void CModalDialog::SetProgramIcons()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const struct
    {
        WPARAM kind;
        int metric;
    } sizes[] = {{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}};
    for (const auto& size : sizes)
    {
        const int pixels = GetSystemMetrics(size.metric);
        HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, pixels, pixels, LR_SHARED);
        SendMessageW(m_window, WM_SETICON, size.kind, reinterpret_cast<LPARAM>(icon));
    }
}
