#pragma once
#include <windows.h>

#include "shell/gui/Gdi.h"

// The parent window's background, scaled once to the window's size:
// transparent-looking controls paint the part of it that lies behind them,
// and system statics get it as a pattern brush.
class CBackdrop
{
public:
    // Takes ownership of the bitmap.
    void Set(HBITMAP scaled);
    HBITMAP Get() const { return m_bitmap.Get(); }

    // Paints what lies behind the child window into its client rectangle.
    void PaintBehind(HWND child, HDC dc) const;
    // A brush of the background aligned with the child window, for
    // WM_CTLCOLORSTATIC: the caller sets the brush origin with BrushOrigin.
    HBRUSH Brush() const { return m_brush.Get(); }
    static POINT BrushOrigin(HWND child);

private:
    CBitmap m_bitmap;
    CBrush m_brush;
};
