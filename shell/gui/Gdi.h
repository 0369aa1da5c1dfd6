#pragma once
#include <windows.h>
#include <string>

// Owns one GDI object (bitmap, font, brush) and deletes it.
template <class T>
class CGdiObject
{
public:
    explicit CGdiObject(T object = nullptr) : m_object(object) {}
    ~CGdiObject() { Reset(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    T Get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    void Reset(T object = nullptr)
    {
        if (m_object)
            DeleteObject(m_object);
        m_object = object;
    }

private:
    T m_object;
};

using CBitmap = CGdiObject<HBITMAP>;
using CFont = CGdiObject<HFONT>;
using CBrush = CGdiObject<HBRUSH>;

// Screen pixels per 96-DPI pixel, horizontally and vertically: every
// position and bitmap of the skin is laid out at 96 DPI and scaled by these.
class CDpiScale
{
public:
    // The screen's factors.
    CDpiScale();
    CDpiScale(double x, double y) : m_x(x), m_y(y) {}

    int X(int value) const { return static_cast<int>(value * m_x + 0.5); }
    int Y(int value) const { return static_cast<int>(value * m_y + 0.5); }
    // A 96-DPI rectangle given by its corner and size, scaled.
    RECT Rect(int left, int top, int width, int height) const;
    int LogPixelsY() const { return static_cast<int>(96 * m_y + 0.5); }

private:
    double m_x;
    double m_y;
};

// A 24-bit bitmap of the program's resources, or null.
HBITMAP LoadSkinBitmap(int id);
SIZE GetBitmapSize(HBITMAP bitmap);

// Draws part of a bitmap (all of it for a null part) stretched into the
// rectangle, with halftone filtering so that scaled pictures stay smooth.
void DrawBitmap(HDC dc, HBITMAP bitmap, const RECT& target, const RECT* part = nullptr);

// A font of the given point size at the DPI; weight as in LOGFONT.
HFONT CreateUiFont(const wchar_t* face, int pointSize, int weight, const CDpiScale& scale, bool underline = false);

// The text of a window.
std::wstring GetWindowString(HWND window);

// A bitmap-backed memory DC over a target rectangle, copied to the target
// DC when it goes: controls paint into it so they never flicker.
class CBufferedPaint
{
public:
    CBufferedPaint(HDC target, const RECT& rect);
    ~CBufferedPaint();
    CBufferedPaint(const CBufferedPaint&) = delete;
    CBufferedPaint& operator=(const CBufferedPaint&) = delete;

    HDC Get() const { return m_dc; }

private:
    HDC m_target;
    RECT m_rect;
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_oldBitmap;
};
