#include "shell/gui/OwnerDrawButton.h"

#include <windowsx.h>

bool COwnerDrawButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case WM_NCHITTEST:
        result = HTCLIENT;
        return true;
    case WM_SETCURSOR:
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        result = TRUE;
        return true;
    case WM_MOUSEMOVE:
        if (!m_tracking)
        {
            TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, Handle(), 0};
            m_tracking = TrackMouseEvent(&track) != FALSE;
        }
        if (GetCapture() == Handle())
            SetState(IsCursorInside(lParam) ? State::Pressed : State::Normal);
        else
            SetState(State::Hover);
        return true;
    case WM_MOUSELEAVE:
        m_tracking = false;
        if (GetCapture() != Handle())
            SetState(State::Normal);
        return true;
    case WM_LBUTTONDOWN:
        SetCapture(Handle());
        SetState(State::Pressed);
        return true;
    case WM_LBUTTONUP:
        if (GetCapture() == Handle())
        {
            ReleaseCapture();
            const bool inside = IsCursorInside(lParam);
            SetState(inside ? State::Hover : State::Normal);
            if (inside)
                SendMessageW(GetParent(Handle()), WM_COMMAND,
                             MAKEWPARAM(GetDlgCtrlID(Handle()), BN_CLICKED), reinterpret_cast<LPARAM>(Handle()));
        }
        return true;
    case WM_SHOWWINDOW:
        if (!wParam)
            m_state = State::Normal;
        return false;
    case WM_SETTEXT:
        result = DefWindowProcW(Handle(), message, wParam, lParam);
        InvalidateRect(Handle(), nullptr, FALSE);
        return true;
    default:
        return CPaintedControl::HandleMessage(message, wParam, lParam, result);
    }
}

void COwnerDrawButton::SetState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    InvalidateRect(Handle(), nullptr, FALSE);
}

bool COwnerDrawButton::IsCursorInside(LPARAM lParam) const
{
    RECT client;
    GetClientRect(Handle(), &client);
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    return PtInRect(&client, point) != FALSE;
}
