#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/ScopedHandle.h"

// Generous bound for what a window driver waits for: a fault fails, never hangs.
const DWORD kWindowWaitMs = 15000;

// Polls until the condition holds; false when the time runs out.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kWindowWaitMs);

// Runs the main program (or the test host that shows the same window) and
// drives its main window from outside, by messages, as a user's clicks
// would. A program still running at the end is closed, or ended.
class CProgramWindow
{
public:
    // Starts the program in the folder (its current directory).
    CProgramWindow(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder);
    ~CProgramWindow();
    CProgramWindow(const CProgramWindow&) = delete;
    CProgramWindow& operator=(const CProgramWindow&) = delete;

    bool Started() const { return static_cast<bool>(m_process); }
    // The main window ("Zentrix", a dialog of this process) once it is shown.
    HWND WaitForWindow(DWORD timeoutMs = kWindowWaitMs);
    HWND Window() const { return m_window; }
    HANDLE Process() const { return m_process.Get(); }

    // A button click of the control, sent (returns when handled) or posted.
    bool Click(UINT id) const;
    void PostClick(UINT id) const;
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const;
    std::wstring Text(UINT id) const;
    bool Visible(UINT id) const;
    // Position of the control in the window's client area.
    RECT ControlRect(UINT id) const;
    int ProgressPosition() const;
    // A message box of the program ("Zentrix") on the screen, or null.
    HWND FindMessageBox() const;

    // The exit code, or -1 when the process did not end in time.
    int WaitForExit(DWORD timeoutMs = kWindowWaitMs);

private:
    CScopedHandle m_process;
    DWORD m_processId = 0;
    HWND m_window = nullptr;
};

// Saves the window's part of the screen as a PNG file.
bool SaveScreenshot(HWND window, const std::wstring& path);
// The window's part of the screen, row by row from the top, as 32-bit
// pixels; empty when it cannot be read.
std::vector<DWORD> ReadWindowPixels(HWND window);
