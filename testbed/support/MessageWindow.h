#pragma once
#include <windows.h>
#include <algorithm>
#include <functional>
#include <utility>

// A message-only window that hands the application's own messages
// (WM_USER and above) to a handler, for programs and tests that stand in
// for the main window. Create, use and destroy it on one thread, and pump
// that thread's messages while other threads send to it.
class CMessageWindow
{
public:
    using Handler = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;

    explicit CMessageWindow(Handler handler) : m_handler(std::move(handler))
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = &CMessageWindow::WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassW(&windowClass); // fails harmlessly once registered
        m_window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   windowClass.hInstance, this);
    }
    ~CMessageWindow() { Destroy(); }
    CMessageWindow(const CMessageWindow&) = delete;
    CMessageWindow& operator=(const CMessageWindow&) = delete;

    HWND Handle() const { return m_window; }

    void Destroy()
    {
        if (m_window)
            DestroyWindow(m_window);
        m_window = nullptr;
    }

    // Dispatches this thread's messages until done() is true (true) or the
    // time runs out (false). A signalled waitFor ends a wait early.
    static bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, HANDLE waitFor = nullptr)
    {
        const DWORD start = GetTickCount();
        for (;;)
        {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            if (done())
                return true;
            const DWORD elapsed = GetTickCount() - start;
            if (elapsed >= timeoutMs)
                return false;
            // Short slices, so that done() may also watch plain variables.
            const DWORD slice = std::min<DWORD>(timeoutMs - elapsed, 10);
            MsgWaitForMultipleObjectsEx(waitFor ? 1 : 0, waitFor ? &waitFor : nullptr, slice, QS_ALLINPUT,
                                        MWMO_INPUTAVAILABLE);
        }
    }

    // Waits for a handle to be signalled while dispatching messages.
    static bool WaitPumping(HANDLE handle, DWORD timeoutMs)
    {
        return PumpUntil([handle] { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }, timeoutMs, handle);
    }

private:
    static constexpr const wchar_t* kClassName = L"TessarinMessageWindow";

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE)
        {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<CMessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message >= WM_USER && message < 0xC000)
            return self->m_handler(message, wParam, lParam);
        return DefWindowProcW(window, message, wParam, lParam);
    }

    Handler m_handler;
    HWND m_window = nullptr;
};
