#include "shell/gui/Gdi.h"

#include <vector>

CDpiScale::CDpiScale() : m_x(1.0), m_y(1.0)
{
    HDC screen = GetDC(nullptr);
    if (screen)
    {
        m_x = GetDeviceCaps(screen, LOGPIXELSX) / 96.0;
        m_y = GetDeviceCaps(screen, LOGPIXELSY) / 96.0;
        ReleaseDC(nullptr, screen);
    }
}

RECT CDpiScale::Rect(int left, int top, int width, int height) const
{
    RECT rect = {X(left), Y(top), X(left + width), Y(top + height)};
    return rect;
}

HBITMAP LoadSkinBitmap(int id)
{
    return static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

SIZE GetBitmapSize(HBITMAP bitmap)
{
    BITMAP info = {};
    SIZE size = {0, 0};
    if (bitmap && GetObjectW(bitmap, sizeof(info), &info))
    {
        size.cx = info.bmWidth;
        size.cy = info.bmHeight;
    }
    return size;
}

void DrawBitmap(HDC dc, HBITMAP bitmap, const RECT& target, const RECT* part)
{
    if (!bitmap)
        return;
    const SIZE size = GetBitmapSize(bitmap);
    const RECT whole = {0, 0, size.cx, size.cy};
    const RECT& source = part ? *part : whole;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    POINT oldOrigin;
    SetBrushOrgEx(dc, 0, 0, &oldOrigin);
    StretchBlt(dc, target.left, target.top, target.right - target.left, target.bottom - target.top, memory,
               source.left, source.top, source.right - source.left, source.bottom - source.top, SRCCOPY);
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    SetStretchBltMode(dc, oldMode);
    SelectObject(memory, old);
    DeleteDC(memory);
}

HFONT CreateUiFont(const wchar_t* face, int pointSize, int weight, const CDpiScale& scale, bool underline)
{
    LOGFONTW font = {};
    font.lfHeight = -MulDiv(pointSize, scale.LogPixelsY(), 72);
    font.lfWeight = weight;
    font.lfUnderline = underline ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

std::wstring GetWindowString(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> text(length + 1);
    GetWindowTextW(window, text.data(), length + 1);
    return text.data();
}

CBufferedPaint::CBufferedPaint(HDC target, const RECT& rect)
    : m_target(target),
      m_rect(rect),
      m_dc(CreateCompatibleDC(target)),
      m_bitmap(CreateCompatibleBitmap(target, rect.right - rect.left, rect.bottom - rect.top)),
      m_oldBitmap(SelectObject(m_dc, m_bitmap))
{
    SetWindowOrgEx(m_dc, rect.left, rect.top, nullptr);
}

CBufferedPaint::~CBufferedPaint()
{
    SetWindowOrgEx(m_dc, 0, 0, nullptr);
    BitBlt(m_target, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_dc, 0, 0,
           SRCCOPY);
    SelectObject(m_dc, m_oldBitmap);
    DeleteObject(m_bitmap);
    DeleteDC(m_dc);
}
