#pragma once
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <stdexcept>
#include <string>
#include <utility>

// A string or variant for a COM call could not be allocated. Every other COM
// failure is reported by the caller's return value, not by an exception.
class CComError : public std::runtime_error
{
public:
    explicit CComError(HRESULT result);

    HRESULT GetResult() const { return m_result; }

private:
    HRESULT m_result;
};

// COM (single-threaded apartment, or the model given) on the calling thread
// while the holder lives. A thread that already had COM keeps it as it was.
class CComApartment
{
public:
    CComApartment() : m_result(CoInitialize(nullptr)) {}
    explicit CComApartment(DWORD model) : m_result(CoInitializeEx(nullptr, model)) {}
    ~CComApartment()
    {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;

private:
    HRESULT m_result;
};

// Holds one reference to a COM interface and releases it when it goes.
template <class T>
class CComPointer
{
public:
    CComPointer() = default;
    CComPointer(const CComPointer& other) : m_pointer(other.m_pointer)
    {
        if (m_pointer)
            m_pointer->AddRef();
    }
    CComPointer(CComPointer&& other) noexcept : m_pointer(other.m_pointer) { other.m_pointer = nullptr; }
    ~CComPointer() { Reset(); }

    CComPointer& operator=(CComPointer other) noexcept
    {
        std::swap(m_pointer, other.m_pointer);
        return *this;
    }

    T* Get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

    // Drops the current reference and hands out the slot for a COM call that
    // returns a new one.
    T** Receive()
    {
        Reset();
        return &m_pointer;
    }

    void Reset()
    {
        if (m_pointer)
            m_pointer->Release();
        m_pointer = nullptr;
    }

private:
    T* m_pointer = nullptr;
};

// A null BSTR is the empty string.
std::wstring BstrToString(BSTR bstr);

// Owns one BSTR.
class CBstr
{
public:
    CBstr() = default;
    // Throws CComError(E_OUTOFMEMORY) when the string cannot be allocated.
    explicit CBstr(const std::wstring& text);
    ~CBstr() { ::SysFreeString(m_bstr); }

    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;

    BSTR Get() const { return m_bstr; }
    BSTR* Receive();
    std::wstring ToString() const { return BstrToString(m_bstr); }

private:
    BSTR m_bstr = nullptr;
};

// Owns one VARIANT and clears it when it goes.
class CVariant
{
public:
    CVariant() { ::VariantInit(&m_value); }
    // A VT_BSTR variant; throws CComError(E_OUTOFMEMORY) when the string
    // cannot be allocated.
    explicit CVariant(const std::wstring& text);
    explicit CVariant(long number);
    ~CVariant() { ::VariantClear(&m_value); }

    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;

    const VARIANT& Get() const { return m_value; }
    VARIANT* Receive();

    // Converts in place, reading text without regard to the user's locale.
    // False when the value does not convert; throws CComError when the
    // conversion runs out of memory.
    bool ChangeType(VARTYPE type);

private:
    VARIANT m_value;
};
