#pragma once
#include <windows.h>
#include <functional>
#include <string>

#include "net/ModalDialog.h"

// "Connecting to proxy-server": asks for the user name and password a
// proxy wants. Both are read (at most 255 characters each) on OK.
class CProxyDlg : public CModalDialog
{
public:
    // Asked as the dialog opens, before it shows; false ends it at once
    // with IDCANCEL.
    using OpenCheck = std::function<bool(HWND dialog)>;

    explicit CProxyDlg(OpenCheck mayOpen = OpenCheck());

    const std::wstring& GetUser() const { return m_user; }
    const std::wstring& GetPassword() const { return m_password; }

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    std::wstring ReadField(int controlId) const;

    OpenCheck m_mayOpen;
    std::wstring m_user;
    std::wstring m_password;
};
