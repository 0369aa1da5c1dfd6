#include "base/ComSupport.h"

#include <cstdio>

namespace
{
std::string DescribeResult(HRESULT result)
{
    char text[40];
    std::snprintf(text, sizeof(text), "COM error 0x%08lX", static_cast<unsigned long>(result));
    return text;
}

BSTR AllocateBstr(const std::wstring& text)
{
    BSTR bstr = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!bstr)
        throw CComError(E_OUTOFMEMORY);
    return bstr;
}
}

CComError::CComError(HRESULT result)
    : std::runtime_error(DescribeResult(result)), m_result(result)
{
}

CBstr::CBstr(const std::wstring& text)
    : m_bstr(AllocateBstr(text))
{
}

BSTR* CBstr::Receive()
{
    ::SysFreeString(m_bstr);
    m_bstr = nullptr;
    return &m_bstr;
}

std::wstring BstrToString(BSTR bstr)
{
    return bstr ? std::wstring(bstr, ::SysStringLen(bstr)) : std::wstring();
}

CVariant::CVariant(const std::wstring& text)
{
    ::VariantInit(&m_value);
    m_value.bstrVal = AllocateBstr(text);
    m_value.vt = VT_BSTR;
}

CVariant::CVariant(long number)
{
    ::VariantInit(&m_value);
    m_value.vt = VT_I4;
    m_value.lVal = number;
}

VARIANT* CVariant::Receive()
{
    ::VariantClear(&m_value);
    return &m_value;
}

bool CVariant::ChangeType(VARTYPE type)
{
    const HRESULT result = ::VariantChangeTypeEx(&m_value, &m_value, LOCALE_INVARIANT, 0, type);
    if (result == E_OUTOFMEMORY)
        throw CComError(E_OUTOFMEMORY);
    return SUCCEEDED(result);
}
