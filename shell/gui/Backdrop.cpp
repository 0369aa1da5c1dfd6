#include "shell/gui/Backdrop.h"

void CBackdrop::Set(HBITMAP scaled)
{
    m_brush.Reset();
    m_bitmap.Reset(scaled);
    if (scaled)
        m_brush.Reset(CreatePatternBrush(scaled));
}

POINT CBackdrop::BrushOrigin(HWND child)
{
    POINT origin = {0, 0};
    MapWindowPoints(child, GetParent(child), &origin, 1);
    origin.x = -origin.x;
    origin.y = -origin.y;
    return origin;
}

void CBackdrop::PaintBehind(HWND child, HDC dc) const
{
    RECT client;
    GetClientRect(child, &client);
    if (!m_bitmap)
    {
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        return;
    }
    POINT origin = {0, 0};
    MapWindowPoints(child, GetParent(child), &origin, 1);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, m_bitmap.Get());
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, origin.x, origin.y, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}
