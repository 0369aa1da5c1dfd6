#pragma once
#include <string>

#include "base/ScopedHandle.h"

// Holds a named mutex when this is the first holder of the name. The name
// has no "Global\" prefix, so the lock covers one logon session.
class CSingleInstanceLock
{
public:
    explicit CSingleInstanceLock(const std::wstring& name);

    // False when another holder had the mutex already.
    bool IsHeld() const { return static_cast<bool>(m_mutex); }

private:
    CScopedHandle m_mutex;
};
