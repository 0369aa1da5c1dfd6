#include "hardware/WmiValues.h"

#include "base/ComSupport.h"

std::wstring VariantText(const VARIANT& value)
{
    return value.vt == VT_BSTR ? BstrToString(value.bstrVal) : std::wstring();
}

bool HasNoValue(const VARIANT& value)
{
    return value.vt == VT_NULL || value.vt == VT_EMPTY;
}
