#pragma once
#include <windows.h>

// While it lives, a 32-bit program on 64-bit Windows sees the real
// system32 folder instead of SysWOW64. Elsewhere (64-bit programs, 32-bit
// Windows, Windows XP without the functions) it does nothing.
class CWow64RedirectionOff
{
public:
    CWow64RedirectionOff();
    ~CWow64RedirectionOff();
    CWow64RedirectionOff(const CWow64RedirectionOff&) = delete;
    CWow64RedirectionOff& operator=(const CWow64RedirectionOff&) = delete;

private:
    typedef BOOL(WINAPI* RevertFunction)(PVOID);
    RevertFunction m_revert = nullptr;
    PVOID m_oldValue = nullptr;
};
