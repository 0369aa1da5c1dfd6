#pragma once
#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <initializer_list>
#include <string>

// The lines the program log gained since this object was made.
class CLogTail
{
public:
    CLogTail();
    std::wstring NewText() const;
    // How often text occurs in the new lines.
    int Count(const std::wstring& text) const;

private:
    size_t m_start;
};

// A VARIANT of the kinds WMI hands out, cleared when it goes.
class CTestValue
{
public:
    static CTestValue Empty();
    static CTestValue Null();
    static CTestValue Text(const wchar_t* text);
    // A VT_BSTR whose string pointer is null.
    static CTestValue NullText();
    static CTestValue Int(LONG value);
    static CTestValue UInt(ULONG value);
    static CTestValue IntArray(std::initializer_list<LONG> values);
    static CTestValue TextArray(std::initializer_list<const wchar_t*> values);

    ~CTestValue() { VariantClear(&m_value); }
    CTestValue(const CTestValue&) = delete;
    CTestValue& operator=(const CTestValue&) = delete;

    operator const VARIANT&() const { return m_value; }

private:
    explicit CTestValue(const std::function<void(VARIANT&)>& fill);

    VARIANT m_value;
};

// The error line the program log gets for a failure described by text.
std::wstring ErrorLine(const std::wstring& text);
