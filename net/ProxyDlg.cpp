#include "net/ProxyDlg.h"

#include "resources/ResourceIds.h"

namespace
{
const int kMaxFieldChars = 255;
}

CProxyDlg::CProxyDlg(OpenCheck mayOpen) : CModalDialog(IDD_PROXY), m_mayOpen(std::move(mayOpen))
{
}

std::wstring CProxyDlg::ReadField(int controlId) const
{
    wchar_t text[kMaxFieldChars + 1] = {};
    GetDlgItemTextW(Handle(), controlId, text, kMaxFieldChars + 1);
    return text;
}

bool CProxyDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    switch (message)
    {
    case WM_INITDIALOG:
        result = TRUE;
        if (m_mayOpen && !m_mayOpen(Handle()))
        {
            End(IDCANCEL);
            return true;
        }
        SendDlgItemMessageW(Handle(), IDC_PROXY_USER, EM_LIMITTEXT, kMaxFieldChars, 0);
        SendDlgItemMessageW(Handle(), IDC_PROXY_PASSWORD, EM_LIMITTEXT, kMaxFieldChars, 0);
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
        {
            m_user = ReadField(IDC_PROXY_USER);
            m_password = ReadField(IDC_PROXY_PASSWORD);
            End(IDOK);
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL)
        {
            End(IDCANCEL);
            return true;
        }
        return false;
    default:
        return false;
    }
}
