#include "net/BrowserDialog.h"

#include <process.h>

#include "resources/ResourceIds.h"

namespace
{
const wchar_t kDocumentWindowClass[] = L"Internet Explorer_Server";
const wchar_t kOriginalProcProperty[] = L"TessarinOriginalProc";
const DWORD kWatchIntervalMs = 100;

// Swallows the right button, so that the page shows no context menu.
LRESULT CALLBACK NoContextMenuProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK)
        return 0;
    auto original = reinterpret_cast<WNDPROC>(GetPropW(window, kOriginalProcProperty));
    return CallWindowProcW(original, window, message, wParam, lParam);
}

BOOL CALLBACK FindDocumentWindow(HWND window, LPARAM found)
{
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (wcscmp(className, kDocumentWindowClass) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}
}

CBrowserDialog::CBrowserDialog(const std::wstring& title, const std::wstring& url)
    : CModalDialog(IDD_BROWSER), m_title(title), m_url(url)
{
}

CBrowserDialog::~CBrowserDialog()
{
    StopWatcher();
}

// Looks for the browser's document window until it appears (it is created
// as the page loads) and filters its messages.
unsigned __stdcall CBrowserDialog::WatchForDocumentWindow(void* param)
{
    auto* self = static_cast<CBrowserDialog*>(param);
    while (WaitForSingleObject(self->m_stopWatcher.Get(), kWatchIntervalMs) == WAIT_TIMEOUT)
    {
        HWND document = nullptr;
        EnumChildWindows(self->Handle(), &FindDocumentWindow, reinterpret_cast<LPARAM>(&document));
        if (!document)
            continue;
        SetPropW(document, kOriginalProcProperty, reinterpret_cast<HANDLE>(GetWindowLongPtrW(document, GWLP_WNDPROC)));
        SetWindowLongPtrW(document, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NoContextMenuProc));
        break;
    }
    return 0;
}

void CBrowserDialog::OnInit()
{
    SetProgramIcons();
    SetWindowTextW(Handle(), m_title.c_str());
    RECT client;
    GetClientRect(Handle(), &client);
    m_view.Create(Handle(), IDC_BROWSER_VIEW, client, m_url);
    m_stopWatcher.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (m_stopWatcher)
        m_watcher.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WatchForDocumentWindow, this, 0, nullptr)));
}

void CBrowserDialog::StopWatcher()
{
    if (m_watcher)
    {
        SetEvent(m_stopWatcher.Get());
        WaitForSingleObject(m_watcher.Get(), INFINITE);
    }
    m_watcher.Reset();
}

void CBrowserDialog::Close()
{
    StopWatcher();
    m_view.Destroy();
    End(IDCANCEL);
}

bool CBrowserDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    switch (message)
    {
    case WM_INITDIALOG:
        OnInit();
        result = TRUE;
        return true;
    case WM_SIZE:
    {
        RECT client;
        GetClientRect(Handle(), &client);
        m_view.Resize(client);
        return true;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL && LOWORD(wParam) != IDOK)
            return false;
        Close();
        return true;
    default:
        return false;
    }
}
