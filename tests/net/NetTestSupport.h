#pragma once
#include "testbed/support/StandInServer.h"

// The stand-in server of this test program, started once before the first
// test and stopped after the last; every test sets the routes it needs.
CStandInServer& StandIn();

#include <windows.h>

#include <functional>
#include <string>

#include "base/ScopedHandle.h"
#include "testbed/support/FileBytes.h"

// Drives a window from a thread of its own: every pollMs it looks for a
// visible top-level window with the caption (of any process) and, while one
// is there, calls act with it until act returns true.
class CWindowWatcher
{
public:
    CWindowWatcher(std::wstring caption, std::function<bool(HWND)> act, DWORD pollMs = 20);
    ~CWindowWatcher();
    CWindowWatcher(const CWindowWatcher&) = delete;
    CWindowWatcher& operator=(const CWindowWatcher&) = delete;

    // True once act has returned true.
    bool Done() const { return m_done != 0; }

private:
    static unsigned __stdcall Watch(void* param);

    const std::wstring m_caption;
    const std::function<bool(HWND)> m_act;
    const DWORD m_pollMs;
    volatile LONG m_done = 0;
    CScopedHandle m_stop;
    CScopedHandle m_thread;
};

// The text of a dialog's control.
std::wstring ControlText(HWND dialog, int controlId);
// The bytes as a Base64 text, for a stand-in route's "body_base64".
std::wstring Base64Text(const std::string& bytes);
// The MD5 digest of the bytes as 32 lower-case hexadecimal digits, computed
// through CryptoAPI.
std::wstring Md5Text(const std::string& bytes);
