#include "tests/hardware/HardwareTestSupport.h"

CTestValue::CTestValue(VARTYPE type, LONGLONG number, BSTR text, SAFEARRAY* array)
{
    VariantInit(&m_value);
    m_value.vt = type;
    if (type == VT_I4)
        m_value.lVal = static_cast<LONG>(number);
    else if (type == VT_UI4)
        m_value.ulVal = static_cast<ULONG>(number);
    else if (type == VT_BSTR)
        m_value.bstrVal = text;
    else if (type & VT_ARRAY)
        m_value.parray = array;
}

CTestValue CTestValue::IntArray(std::initializer_list<LONG> values)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(values.size()));
    LONG index = 0;
    for (LONG value : values)
    {
        SafeArrayPutElement(array, &index, &value);
        ++index;
    }
    return CTestValue(VT_ARRAY | VT_I4, 0, nullptr, array);
}

CTestValue CTestValue::TextArray(std::initializer_list<const wchar_t*> values)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(values.size()));
    LONG index = 0;
    for (const wchar_t* value : values)
    {
        BSTR text = SysAllocString(value);
        SafeArrayPutElement(array, &index, text); // copies the string
        SysFreeString(text);
        ++index;
    }
    return CTestValue(VT_ARRAY | VT_BSTR, 0, nullptr, array);
}

std::wstring ErrorLine(const std::wstring& text)
{
    return L"Error:\t" + text + L"\t(last error = ";
}
