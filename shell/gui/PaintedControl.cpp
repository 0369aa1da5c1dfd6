#include "shell/gui/PaintedControl.h"

HWND CPaintedControl::Create(const wchar_t* className, HWND parent, const RECT& rect, UINT id,
                             const CBackdrop& backdrop, const wchar_t* text)
{
    m_backdrop = &backdrop;
    return CWindow::Create(className, parent, rect, WS_CHILD | WS_CLIPSIBLINGS, 0, id, text);
}

void CPaintedControl::SetText(const wchar_t* text)
{
    SetWindowTextW(Handle(), text);
    InvalidateRect(Handle(), nullptr, FALSE);
}

bool CPaintedControl::HandleMessage(UINT message, WPARAM, LPARAM, LRESULT& result)
{
    switch (message)
    {
    case WM_NCHITTEST:
        // Clicks fall through to the window below, so that a label or a
        // picture never stops the window from being dragged.
        result = HTTRANSPARENT;
        return true;
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_PAINT:
        Paint();
        return true;
    default:
        return false;
    }
}

void CPaintedControl::Paint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    RECT client;
    GetClientRect(Handle(), &client);
    {
        CBufferedPaint buffer(dc, client);
        m_backdrop->PaintBehind(Handle(), buffer.Get());
        Draw(buffer.Get(), client);
    }
    EndPaint(Handle(), &paint);
}
