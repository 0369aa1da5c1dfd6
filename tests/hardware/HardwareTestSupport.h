#pragma once
#include <windows.h>
#include <oleauto.h>

#include <initializer_list>
#include <string>

#include "testbed/support/LogRecorder.h"
#include "tests/engine/XmlTestSupport.h"

// A VARIANT of the kinds WMI hands out, cleared when it goes.
class CTestValue
{
public:
    static CTestValue Empty() { return CTestValue(VT_EMPTY); }
    static CTestValue Null() { return CTestValue(VT_NULL); }
    static CTestValue Text(const wchar_t* text) { return CTestValue(VT_BSTR, 0, SysAllocString(text)); }
    // A VT_BSTR whose string pointer is null.
    static CTestValue NullText() { return CTestValue(VT_BSTR); }
    static CTestValue Int(LONG value) { return CTestValue(VT_I4, value); }
    static CTestValue UInt(ULONG value) { return CTestValue(VT_UI4, value); }
    static CTestValue IntArray(std::initializer_list<LONG> values);
    static CTestValue TextArray(std::initializer_list<const wchar_t*> values);

    ~CTestValue() { VariantClear(&m_value); }
    CTestValue(const CTestValue&) = delete;
    CTestValue& operator=(const CTestValue&) = delete;

    operator const VARIANT&() const { return m_value; }

private:
    // Takes ownership of text and array.
    explicit CTestValue(VARTYPE type, LONGLONG number = 0, BSTR text = nullptr, SAFEARRAY* array = nullptr);

    VARIANT m_value;
};

// The error line the program log gets for a failure described by text.
std::wstring ErrorLine(const std::wstring& text);

// A result document with its root element, on a COM-initialised thread.
class ResultDocumentTest : public XmlTestBase
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(document.Create());
        ASSERT_TRUE(document.CreateElement(root, L"tessarin"));
        ASSERT_TRUE(document.AppendChild(root));
    }

    CXmlDocument document;
    CXmlNode root;
};
