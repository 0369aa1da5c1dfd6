#pragma once
#include <windows.h>
#include <exdisp.h>
#include <ole2.h>
#include <string>

#include "base/ComSupport.h"

// A child window that hosts the system's web-browser control and shows
// one page: the smallest OLE container the control needs (client site,
// in-place site and frame, all answered by one object). COM must be
// initialised on the thread.
class CWTLBrowserView
{
public:
    CWTLBrowserView() = default;
    ~CWTLBrowserView() { Destroy(); }
    CWTLBrowserView(const CWTLBrowserView&) = delete;
    CWTLBrowserView& operator=(const CWTLBrowserView&) = delete;

    // Creates the view as a child of parent with the control id, filling
    // rect, and starts loading the address. False when the window could not
    // be made; a browser control that cannot be created leaves it blank.
    bool Create(HWND parent, int controlId, const RECT& rect, const std::wstring& url);
    void Destroy();
    void Resize(const RECT& rect);

    HWND Window() const { return m_window; }

private:
    class CSite;

    void CreateBrowser(const std::wstring& url);

    HWND m_window = nullptr;
    CSite* m_site = nullptr;
    CComPointer<IOleObject> m_browser;
};
