#pragma once
#include <windows.h>

// Owns one kernel handle and closes it. Null is the empty value, which is
// what CreateEvent, CreateSemaphore and _beginthreadex return on failure.
class CScopedHandle
{
public:
    explicit CScopedHandle(HANDLE handle = nullptr) : m_handle(handle) {}
    ~CScopedHandle() { Reset(); }

    CScopedHandle(CScopedHandle&& other) noexcept : m_handle(other.m_handle) { other.m_handle = nullptr; }
    CScopedHandle& operator=(CScopedHandle&& other) noexcept
    {
        if (this != &other)
        {
            Reset(other.m_handle);
            other.m_handle = nullptr;
        }
        return *this;
    }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

    void Reset(HANDLE handle = nullptr)
    {
        if (m_handle)
            CloseHandle(m_handle);
        m_handle = handle;
    }

private:
    HANDLE m_handle;
};

// Files, pipes and snapshots report failure as INVALID_HANDLE_VALUE, not
// null; this holder turns that into an empty one.
inline CScopedHandle AdoptFileHandle(HANDLE handle)
{
    return CScopedHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// Owns one service control manager or service handle.
class CServiceHandle
{
public:
    explicit CServiceHandle(SC_HANDLE handle) : m_handle(handle) {}
    ~CServiceHandle()
    {
        if (m_handle)
            CloseServiceHandle(m_handle);
    }
    CServiceHandle(const CServiceHandle&) = delete;
    CServiceHandle& operator=(const CServiceHandle&) = delete;

    SC_HANDLE Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    SC_HANDLE m_handle;
};
