#pragma once
#include <windows.h>
#include <objidl.h>
#include <memory>
#include <string>

#include "shell/gui/Gdi.h"
#include "shell/gui/OwnerDrawButton.h"
#include "shell/gui/PaintedControl.h"

namespace Gdiplus
{
class Image;
}

// The skinned controls of the main window. Each is a child window of a class
// of its own that paints itself over the parent's backdrop; positions and
// bitmaps are given already scaled to the screen's DPI.
namespace Cxx::GUI::Controls
{
// A transparent label drawn with GDI+ in a font of its own.
class CStaticText : public CPaintedControl
{
public:
    HWND Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop, int pointSize, int weight,
                const CDpiScale& scale, COLORREF colour = RGB(0xFF, 0xFF, 0xFF));

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void Draw(HDC dc, const RECT& client) override;

private:
    CFont m_font;
    COLORREF m_colour = 0;
};

// A bitmap drawn at its scaled size from the top left corner; a window
// narrower than that shows the left part (the performance bars).
class CPicture : public CPaintedControl
{
public:
    HWND Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop, int bitmapId,
                const CDpiScale& scale);

protected:
    void Draw(HDC dc, const RECT& client) override;

private:
    CBitmap m_bitmap;
    SIZE m_size = {0, 0};
};

// A progress bar drawn from four bitmaps: track, fill (clipped to the
// position), left and right caps. Answers PBM_SETRANGE32, PBM_SETPOS,
// PBM_GETPOS and PBM_GETRANGE like the common control.
class CSkinProgress : public CPaintedControl
{
public:
    HWND Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop, const CDpiScale& scale);
    void SetRange(int upper);
    void SetPos(int position);

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void Draw(HDC dc, const RECT& client) override;

private:
    CBitmap m_track;
    CBitmap m_fill;
    CBitmap m_leftCap;
    CBitmap m_rightCap;
    int m_capWidth = 0;
    int m_upper = 100;
    int m_position = 0;
};

// An animated picture (the "GIF" resource) played through GDI+, with the
// window text beside it; the pause flag holds the current frame.
class CGifWnd : public CPaintedControl
{
public:
    CGifWnd();
    ~CGifWnd() override;

    HWND Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop, int gifId,
                const CDpiScale& scale);
    void Play();
    void Pause();
    bool IsPaused() const { return m_paused; }

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void Draw(HDC dc, const RECT& client) override;

private:
    bool LoadImageResource(int gifId);
    void ScheduleNextFrame();
    void NextFrame();

    // The picture is decoded when it first plays: a start that never runs
    // the tests does not wait for it.
    int m_gifId = 0;
    std::unique_ptr<Gdiplus::Image> m_image;
    IStream* m_stream = nullptr;
    UINT m_frameCount = 0;
    UINT m_frame = 0;
    std::unique_ptr<unsigned char[]> m_delays; // PropertyItem with the frame delays
    int m_pictureSize = 0;
    CFont m_font;
    bool m_paused = true;
};

// The large text button (Begin Test, Optimize Your PC): a filled accent
// rectangle that lights up under the cursor.
class CTextButton : public COwnerDrawButton
{
public:
    HWND Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop, const CDpiScale& scale);

protected:
    void DrawButton(HDC dc, const RECT& client, State state) override;

private:
    CFont m_font;
};

// The small outlined text button (Cancel Scan).
class CTextBtn : public COwnerDrawButton
{
public:
    HWND Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop, const CDpiScale& scale);

protected:
    void DrawButton(HDC dc, const RECT& client, State state) override;

private:
    CFont m_font;
};

// A link-style text button (Test History): accent text, underlined under
// the cursor.
class CHistoryButton : public COwnerDrawButton
{
public:
    HWND Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop, const CDpiScale& scale);

protected:
    void DrawButton(HDC dc, const RECT& client, State state) override;

private:
    CFont m_font;
    CFont m_underlined;
};

// A button drawn from a strip of three equal pictures side by side:
// normal, hover, pressed.
class CBitmapButtonEx : public COwnerDrawButton
{
public:
    HWND Create(HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop, int stripId,
                const wchar_t* text);

protected:
    void DrawButton(HDC dc, const RECT& client, State state) override;

private:
    CBitmap m_strip;
};
}

// A plain static control with the given font; its parent colours it
// through WM_CTLCOLORSTATIC.
class CStaticText
{
public:
    HWND Create(HWND parent, const RECT& rect, UINT id, HFONT font, DWORD align = SS_LEFT);
    HWND Handle() const { return m_window; }
    operator HWND() const { return m_window; }

private:
    HWND m_window = nullptr;
};
