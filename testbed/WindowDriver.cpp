#include "testbed/WindowDriver.h"

#include <commctrl.h>

#include <vector>

#include "shell/gui/GdiPlus.h"
#include "testbed/MessageBoxAnswerer.h"

namespace
{
const DWORD kSendTimeoutMs = 5000;

// A visible dialog titled "Zentrix" of the process: the captionless main
// window, or a message box, which has a caption.
struct WindowSearch
{
    DWORD processId;
    bool captioned;
    HWND found;
};

BOOL CALLBACK FindZentrixDialog(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t title[32] = {};
    wchar_t className[32] = {};
    GetWindowTextW(window, title, 32);
    GetClassNameW(window, className, 32);
    const bool captioned = (GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) != 0;
    if (processId == search->processId && lstrcmpW(title, L"Zentrix") == 0 && lstrcmpW(className, L"#32770") == 0
        && captioned == search->captioned && IsWindowVisible(window))
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

bool GetEncoderClsid(const wchar_t* mimeType, CLSID& clsid)
{
    UINT count = 0;
    UINT size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    if (size == 0)
        return false;
    std::vector<BYTE> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i)
        if (lstrcmpW(encoders[i].MimeType, mimeType) == 0)
        {
            clsid = encoders[i].Clsid;
            return true;
        }
    return false;
}
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!condition())
    {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

CProgramWindow::CProgramWindow(const std::wstring& program, const std::wstring& arguments,
                               const std::wstring& folder)
{
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process))
        return;
    CloseHandle(process.hThread);
    m_process.Reset(process.hProcess);
    m_processId = process.dwProcessId;
}

CProgramWindow::~CProgramWindow()
{
    if (!m_process || WaitForSingleObject(m_process.Get(), 0) == WAIT_OBJECT_0)
        return;
    if (m_window)
        PostMessageW(m_window, WM_COMMAND, IDCANCEL, 0);
    if (WaitForSingleObject(m_process.Get(), kWindowWaitMs) != WAIT_OBJECT_0)
        TerminateProcess(m_process.Get(), 99);
}

HWND CProgramWindow::WaitForWindow(DWORD timeoutMs)
{
    // On a new prefix the first start warns that no language was chosen yet.
    CMessageBoxAnswerer firstStartWarning(L"Zentrix", IDOK);
    WindowSearch search = {m_processId, false, nullptr};
    WaitUntil(
        [&] {
            EnumWindows(&FindZentrixDialog, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr || WaitForSingleObject(m_process.Get(), 0) == WAIT_OBJECT_0;
        },
        timeoutMs);
    m_window = search.found;
    return m_window;
}

LRESULT CProgramWindow::Send(UINT message, WPARAM wParam, LPARAM lParam) const
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(m_window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

bool CProgramWindow::Click(UINT id) const
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(m_window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                               reinterpret_cast<LPARAM>(GetDlgItem(m_window, id)), SMTO_NORMAL, kSendTimeoutMs,
                               &result) != 0;
}

void CProgramWindow::PostClick(UINT id) const
{
    PostMessageW(m_window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(m_window, id)));
}

std::wstring CProgramWindow::Text(UINT id) const
{
    wchar_t text[512] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutW(GetDlgItem(m_window, id), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                        kSendTimeoutMs, &result);
    return text;
}

bool CProgramWindow::Visible(UINT id) const
{
    return IsWindowVisible(GetDlgItem(m_window, id)) != FALSE;
}

RECT CProgramWindow::ControlRect(UINT id) const
{
    RECT rect = {};
    HWND control = GetDlgItem(m_window, id);
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int CProgramWindow::ProgressPosition() const
{
    DWORD_PTR result = 0;
    // 1008: the progress bar, which answers like the common control.
    SendMessageTimeoutW(GetDlgItem(m_window, 1008), PBM_GETPOS, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &result);
    return static_cast<int>(result);
}

HWND CProgramWindow::FindMessageBox() const
{
    WindowSearch search = {m_processId, true, nullptr};
    EnumWindows(&FindZentrixDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int CProgramWindow::WaitForExit(DWORD timeoutMs)
{
    DWORD exitCode = 0;
    if (!m_process || WaitForSingleObject(m_process.Get(), timeoutMs) != WAIT_OBJECT_0
        || !GetExitCodeProcess(m_process.Get(), &exitCode))
        return -1;
    return static_cast<int>(exitCode);
}

namespace
{
// The window as the screen shows it, once it has painted everything.
HBITMAP CaptureWindow(HWND window)
{
    // A round trip: whatever the window was handling is done; then it paints
    // all it has not painted yet (a window just shown has painted nothing).
    DWORD_PTR unused = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &unused);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &unused);
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bitmap;
}
}

bool SaveScreenshot(HWND window, const std::wstring& path)
{
    HBITMAP bitmap = CaptureWindow(window);
    bool saved = false;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    CLSID png;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok)
    {
        {
            Gdiplus::Bitmap image(bitmap, nullptr);
            saved = GetEncoderClsid(L"image/png", png)
                    && image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
        }
        Gdiplus::GdiplusShutdown(token);
    }
    DeleteObject(bitmap);
    return saved;
}

std::vector<DWORD> ReadWindowPixels(HWND window)
{
    HBITMAP bitmap = CaptureWindow(window);
    BITMAP size = {};
    GetObjectW(bitmap, sizeof(size), &size);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.bmWidth;
    info.bmiHeader.biHeight = -size.bmHeight; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(size.bmWidth) * size.bmHeight);
    HDC screen = GetDC(nullptr);
    if (pixels.empty() || !GetDIBits(screen, bitmap, 0, size.bmHeight, pixels.data(), &info, DIB_RGB_COLORS))
        pixels.clear();
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    return pixels;
}
