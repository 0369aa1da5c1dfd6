#include "shell/Wow64Redirection.h"

CWow64RedirectionOff::CWow64RedirectionOff()
{
    // Looked up at run time: 32-bit Windows XP before SP2 has neither.
    typedef BOOL(WINAPI * DisableFunction)(PVOID*);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto disable = reinterpret_cast<DisableFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
    auto revert = reinterpret_cast<RevertFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
    if (disable && revert && disable(&m_oldValue))
        m_revert = revert;
}

CWow64RedirectionOff::~CWow64RedirectionOff()
{
    if (m_revert)
        m_revert(m_oldValue);
}
