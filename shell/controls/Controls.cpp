#include "shell/controls/Controls.h"

#include <commctrl.h>

#include "shell/controls/Skin.h"
#include "shell/gui/GdiPlus.h"

namespace Cxx::GUI::Controls
{
namespace
{
const UINT_PTR kFrameTimer = 1;
const UINT kDefaultFrameDelayMs = 80;

void FillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    CBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.Get());
}

void DrawCentredText(HDC dc, const RECT& rect, const std::wstring& text, HFONT font, COLORREF colour)
{
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    RECT box = rect;
    DrawTextW(dc, text.c_str(), -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
}

// Antialiased GDI+ text in a GDI font (GDI+ finds "Segoe UI" only through
// the font's LOGFONT, not by family name on every system).
void DrawSmoothText(HDC dc, const RECT& rect, const std::wstring& text, HFONT font, COLORREF colour,
                    Gdiplus::StringAlignment align)
{
    Gdiplus::Graphics graphics(dc);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    LOGFONTW logFont = {};
    GetObjectW(font, sizeof(logFont), &logFont);
    Gdiplus::Font gdiplusFont(dc, &logFont);
    Gdiplus::SolidBrush brush(Gdiplus::Color(255, GetRValue(colour), GetGValue(colour), GetBValue(colour)));
    Gdiplus::StringFormat format;
    format.SetAlignment(align);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
    format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    const Gdiplus::RectF box(static_cast<Gdiplus::REAL>(rect.left), static_cast<Gdiplus::REAL>(rect.top),
                             static_cast<Gdiplus::REAL>(rect.right - rect.left),
                             static_cast<Gdiplus::REAL>(rect.bottom - rect.top));
    graphics.DrawString(text.c_str(), -1, &gdiplusFont, box, &format, &brush);
}
}

// ---- CStaticText ----

HWND CStaticText::Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop, int pointSize,
                         int weight, const CDpiScale& scale, COLORREF colour)
{
    m_font.Reset(CreateUiFont(kFace, pointSize, weight, scale));
    m_colour = colour;
    return CPaintedControl::Create(L"ZentrixStaticText", parent, rect, id, backdrop);
}

bool CStaticText::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_SETTEXT)
    {
        result = DefWindowProcW(Handle(), message, wParam, lParam);
        InvalidateRect(Handle(), nullptr, FALSE);
        return true;
    }
    return CPaintedControl::HandleMessage(message, wParam, lParam, result);
}

void CStaticText::Draw(HDC dc, const RECT& client)
{
    DrawSmoothText(dc, client, GetWindowString(Handle()), m_font.Get(), m_colour, Gdiplus::StringAlignmentNear);
}

// ---- CPicture ----

HWND CPicture::Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop, int bitmapId,
                      const CDpiScale& scale)
{
    m_bitmap.Reset(LoadSkinBitmap(bitmapId));
    const SIZE size = GetBitmapSize(m_bitmap.Get());
    m_size.cx = scale.X(size.cx);
    m_size.cy = scale.Y(size.cy);
    return CPaintedControl::Create(L"ZentrixPicture", parent, rect, id, backdrop);
}

void CPicture::Draw(HDC dc, const RECT&)
{
    const RECT target = {0, 0, m_size.cx, m_size.cy};
    DrawBitmap(dc, m_bitmap.Get(), target);
}

// ---- CSkinProgress ----

HWND CSkinProgress::Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop,
                           const CDpiScale& scale)
{
    m_track.Reset(LoadSkinBitmap(206));
    m_fill.Reset(LoadSkinBitmap(207));
    m_leftCap.Reset(LoadSkinBitmap(208));
    m_rightCap.Reset(LoadSkinBitmap(209));
    m_capWidth = scale.X(GetBitmapSize(m_leftCap.Get()).cx);
    return CPaintedControl::Create(L"ZentrixSkinProgress", parent, rect, id, backdrop);
}

void CSkinProgress::SetRange(int upper)
{
    m_upper = upper > 0 ? upper : 1;
    InvalidateRect(Handle(), nullptr, FALSE);
}

void CSkinProgress::SetPos(int position)
{
    m_position = position < 0 ? 0 : (position > m_upper ? m_upper : position);
    InvalidateRect(Handle(), nullptr, FALSE);
}

bool CSkinProgress::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case PBM_SETRANGE32:
        result = MAKELRESULT(0, m_upper);
        SetRange(static_cast<int>(lParam));
        return true;
    case PBM_SETPOS:
        result = m_position;
        SetPos(static_cast<int>(wParam));
        return true;
    case PBM_GETPOS:
        result = m_position;
        return true;
    case PBM_GETRANGE:
        result = wParam ? 0 : m_upper;
        return true;
    default:
        return CPaintedControl::HandleMessage(message, wParam, lParam, result);
    }
}

void CSkinProgress::Draw(HDC dc, const RECT& client)
{
    DrawBitmap(dc, m_track.Get(), client);
    const int width = client.right - client.left;
    const int filled = static_cast<int>(static_cast<long long>(width) * m_position / m_upper);
    if (filled > 0)
    {
        // The fill bitmap is laid over the whole bar; only its left part up
        // to the position shows.
        const SIZE size = GetBitmapSize(m_fill.Get());
        const RECT part = {0, 0, static_cast<LONG>(static_cast<long long>(size.cx) * filled / width), size.cy};
        const RECT target = {client.left, client.top, client.left + filled, client.bottom};
        DrawBitmap(dc, m_fill.Get(), target, &part);
    }
    const RECT left = {client.left, client.top, client.left + m_capWidth, client.bottom};
    const RECT right = {client.right - m_capWidth, client.top, client.right, client.bottom};
    DrawBitmap(dc, m_leftCap.Get(), left);
    DrawBitmap(dc, m_rightCap.Get(), right);
}

// ---- CGifWnd ----

CGifWnd::CGifWnd() = default;

CGifWnd::~CGifWnd()
{
    // The window goes first: its last paint may still use the picture.
    if (Handle())
        DestroyWindow(Handle());
    m_image.reset();
    if (m_stream)
        m_stream->Release();
}

HWND CGifWnd::Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop, int gifId,
                     const CDpiScale& scale)
{
    m_pictureSize = scale.Y(24);
    m_font.Reset(CreateUiFont(kFace, 10, FW_NORMAL, scale));
    m_gifId = gifId;
    return CPaintedControl::Create(L"ZentrixGifWnd", parent, rect, id, backdrop);
}

bool CGifWnd::LoadImageResource(int gifId)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(gifId), L"GIF");
    HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = resource ? SizeofResource(instance, resource) : 0;
    if (!bytes || size == 0)
        return false;
    // GDI+ reads the picture from a stream of its own copy.
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy)
        return false;
    CopyMemory(GlobalLock(copy), bytes, size);
    GlobalUnlock(copy);
    if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &m_stream)))
    {
        GlobalFree(copy);
        return false;
    }
    m_image.reset(new Gdiplus::Image(m_stream));
    if (m_image->GetLastStatus() != Gdiplus::Ok)
    {
        m_image.reset();
        return false;
    }
    GUID dimension = Gdiplus::FrameDimensionTime;
    m_frameCount = m_image->GetFrameCount(&dimension);
    const UINT delaySize = m_image->GetPropertyItemSize(PropertyTagFrameDelay);
    if (delaySize > 0)
    {
        m_delays.reset(new unsigned char[delaySize]);
        if (m_image->GetPropertyItem(PropertyTagFrameDelay, delaySize,
                                     reinterpret_cast<Gdiplus::PropertyItem*>(m_delays.get())) != Gdiplus::Ok)
            m_delays.reset();
    }
    return true;
}

void CGifWnd::Play()
{
    if (!m_paused)
        return;
    m_paused = false;
    if (m_gifId)
    {
        LoadImageResource(m_gifId);
        m_gifId = 0;
        InvalidateRect(Handle(), nullptr, FALSE);
    }
    ScheduleNextFrame();
}

void CGifWnd::Pause()
{
    m_paused = true;
    KillTimer(Handle(), kFrameTimer);
}

void CGifWnd::ScheduleNextFrame()
{
    if (m_paused || m_frameCount < 2 || !Handle())
        return;
    UINT delayMs = kDefaultFrameDelayMs;
    if (m_delays)
    {
        const auto* item = reinterpret_cast<const Gdiplus::PropertyItem*>(m_delays.get());
        if (m_frame < item->length / sizeof(LONG))
        {
            // Hundredths of a second; browsers treat tiny delays as the default.
            const LONG hundredths = static_cast<const LONG*>(item->value)[m_frame];
            if (hundredths > 1)
                delayMs = static_cast<UINT>(hundredths) * 10;
        }
    }
    SetTimer(Handle(), kFrameTimer, delayMs, nullptr);
}

void CGifWnd::NextFrame()
{
    KillTimer(Handle(), kFrameTimer);
    if (m_paused || !m_image)
        return;
    m_frame = (m_frame + 1) % m_frameCount;
    GUID dimension = Gdiplus::FrameDimensionTime;
    m_image->SelectActiveFrame(&dimension, m_frame);
    InvalidateRect(Handle(), nullptr, FALSE);
    ScheduleNextFrame();
}

bool CGifWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case WM_TIMER:
        if (wParam == kFrameTimer)
            NextFrame();
        return true;
    case WM_SETTEXT:
        result = DefWindowProcW(Handle(), message, wParam, lParam);
        InvalidateRect(Handle(), nullptr, FALSE);
        return true;
    default:
        return CPaintedControl::HandleMessage(message, wParam, lParam, result);
    }
}

void CGifWnd::Draw(HDC dc, const RECT& client)
{
    const int top = client.top + (client.bottom - client.top - m_pictureSize) / 2;
    if (m_image)
    {
        Gdiplus::Graphics graphics(dc);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.DrawImage(m_image.get(), client.left, top, m_pictureSize, m_pictureSize);
    }
    RECT text = client;
    text.left += m_pictureSize + m_pictureSize / 2;
    DrawSmoothText(dc, text, GetWindowString(Handle()), m_font.Get(), kDimTextColour,
                   Gdiplus::StringAlignmentNear);
}

// ---- CTextButton ----

HWND CTextButton::Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop,
                         const CDpiScale& scale)
{
    m_font.Reset(CreateUiFont(kFace, 13, FW_SEMIBOLD, scale));
    return CPaintedControl::Create(L"ZentrixTextButton", parent, rect, id, backdrop);
}

void CTextButton::DrawButton(HDC dc, const RECT& client, State state)
{
    const COLORREF fill = state == State::Pressed ? kAccentPressedColour
                          : state == State::Hover ? kAccentHoverColour
                                                  : kAccentColour;
    CBrush brush(CreateSolidBrush(fill));
    HGDIOBJ oldBrush = SelectObject(dc, brush.Get());
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    const int round = (client.bottom - client.top) / 3;
    RoundRect(dc, client.left, client.top, client.right + 1, client.bottom + 1, round, round);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DrawSmoothText(dc, client, GetWindowString(Handle()), m_font.Get(), kTextColour, Gdiplus::StringAlignmentCenter);
}

// ---- CTextBtn ----

HWND CTextBtn::Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop, const CDpiScale& scale)
{
    m_font.Reset(CreateUiFont(kFace, 9, FW_NORMAL, scale));
    return CPaintedControl::Create(L"ZentrixTextBtn", parent, rect, id, backdrop);
}

void CTextBtn::DrawButton(HDC dc, const RECT& client, State state)
{
    if (state != State::Normal)
        FillSolid(dc, client, state == State::Pressed ? kAccentPressedColour : RGB(0x22, 0x2D, 0x3C));
    CBrush frame(CreateSolidBrush(kAccentColour));
    FrameRect(dc, &client, frame.Get());
    DrawCentredText(dc, client, GetWindowString(Handle()), m_font.Get(), kTextColour);
}

// ---- CHistoryButton ----

HWND CHistoryButton::Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop,
                            const CDpiScale& scale)
{
    m_font.Reset(CreateUiFont(kFace, 10, FW_NORMAL, scale));
    m_underlined.Reset(CreateUiFont(kFace, 10, FW_NORMAL, scale, true));
    return CPaintedControl::Create(L"ZentrixHistoryButton", parent, rect, id, backdrop);
}

void CHistoryButton::DrawButton(HDC dc, const RECT& client, State state)
{
    const bool lit = state != State::Normal;
    HGDIOBJ old = SelectObject(dc, lit ? m_underlined.Get() : m_font.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, lit ? kAccentHoverColour : kAccentColour);
    RECT box = client;
    DrawTextW(dc, GetWindowString(Handle()).c_str(), -1, &box, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
}

// ---- CBitmapButtonEx ----

HWND CBitmapButtonEx::Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop, int stripId,
                             const wchar_t* text)
{
    m_strip.Reset(LoadSkinBitmap(stripId));
    return CPaintedControl::Create(L"ZentrixBitmapButton", parent, rect, id, backdrop, text);
}

void CBitmapButtonEx::DrawButton(HDC dc, const RECT& client, State state)
{
    const SIZE size = GetBitmapSize(m_strip.Get());
    const LONG width = size.cx / 3;
    const LONG index = state == State::Pressed ? 2 : (state == State::Hover ? 1 : 0);
    const RECT part = {index * width, 0, (index + 1) * width, size.cy};
    DrawBitmap(dc, m_strip.Get(), client, &part);
}
}

HWND CStaticText::Create(HWND parent, const RECT& rect, UINT id, HFONT font, DWORD align)
{
    m_window = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_NOPREFIX | align, rect.left, rect.top,
                               rect.right - rect.left, rect.bottom - rect.top, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr),
                               nullptr);
    SendMessageW(m_window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return m_window;
}
