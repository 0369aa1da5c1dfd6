#include "shell/SingleInstanceLock.h"

#include <windows.h>

CSingleInstanceLock::CSingleInstanceLock(const std::wstring& name)
    : m_mutex(CreateMutexW(nullptr, FALSE, name.c_str()))
{
    if (m_mutex && GetLastError() == ERROR_ALREADY_EXISTS)
        m_mutex.Reset();
}
