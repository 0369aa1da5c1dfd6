#pragma once
#include <windows.h>

#include "shell/gui/PaintedControl.h"

// Base of the skinned buttons: tracks hover and press, shows the hand
// cursor, and tells the parent of a click as a button does
// (WM_COMMAND with BN_CLICKED).
class COwnerDrawButton : public CPaintedControl
{
public:
    enum class State
    {
        Normal,
        Hover,
        Pressed
    };

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void Draw(HDC dc, const RECT& client) override { DrawButton(dc, client, m_state); }
    virtual void DrawButton(HDC dc, const RECT& client, State state) = 0;

private:
    void SetState(State state);
    bool IsCursorInside(LPARAM lParam) const;

    State m_state = State::Normal;
    bool m_tracking = false;
};
