#pragma once
#include <windows.h>

#include "shell/gui/Backdrop.h"
#include "shell/gui/Window.h"

// Base of the skinned child controls: a child window that paints the
// parent's backdrop behind itself, then its own content, double-buffered.
// The text of the window is what the control shows, so WM_GETTEXT reads it.
class CPaintedControl : public CWindow
{
public:
    HWND Create(const wchar_t* className, HWND parent, const RECT& rect, UINT id, const CBackdrop& backdrop,
                const wchar_t* text = L"");

    // Sets the text and repaints.
    void SetText(const wchar_t* text);

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Paints the content over the backdrop that is already drawn.
    virtual void Draw(HDC dc, const RECT& client) = 0;

private:
    void Paint();

    const CBackdrop* m_backdrop = nullptr;
};
