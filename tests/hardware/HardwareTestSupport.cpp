#include "tests/hardware/HardwareTestSupport.h"

#include "shell/Module.h"

namespace
{
std::wstring ReadLog()
{
    const std::wstring path = g_module.GetAppDataFolder() + L"\\tessarin.log";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::wstring();
    std::wstring text(GetFileSize(file, nullptr) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ReadFile(file, &text[0], static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    CloseHandle(file);
    text.resize(read / sizeof(wchar_t));
    return text;
}

template <class T>
SAFEARRAY* MakeArray(VARTYPE type, std::initializer_list<T> values, void (*put)(SAFEARRAY*, LONG, T))
{
    SAFEARRAY* array = SafeArrayCreateVector(type, 0, static_cast<ULONG>(values.size()));
    LONG index = 0;
    for (T value : values)
        put(array, index++, value);
    return array;
}
}

CLogTail::CLogTail() : m_start(ReadLog().size())
{
}

std::wstring CLogTail::NewText() const
{
    const std::wstring text = ReadLog();
    return text.size() > m_start ? text.substr(m_start) : std::wstring();
}

int CLogTail::Count(const std::wstring& text) const
{
    const std::wstring lines = NewText();
    int count = 0;
    for (size_t at = lines.find(text); at != std::wstring::npos; at = lines.find(text, at + text.size()))
        ++count;
    return count;
}

CTestValue::CTestValue(const std::function<void(VARIANT&)>& fill)
{
    VariantInit(&m_value);
    fill(m_value);
}

CTestValue CTestValue::Empty()
{
    return CTestValue([](VARIANT&) {});
}

CTestValue CTestValue::Null()
{
    return CTestValue([](VARIANT& value) { value.vt = VT_NULL; });
}

CTestValue CTestValue::Text(const wchar_t* text)
{
    return CTestValue([text](VARIANT& value) {
        value.vt = VT_BSTR;
        value.bstrVal = SysAllocString(text);
    });
}

CTestValue CTestValue::NullText()
{
    return CTestValue([](VARIANT& value) {
        value.vt = VT_BSTR;
        value.bstrVal = nullptr;
    });
}

CTestValue CTestValue::Int(LONG number)
{
    return CTestValue([number](VARIANT& value) {
        value.vt = VT_I4;
        value.lVal = number;
    });
}

CTestValue CTestValue::UInt(ULONG number)
{
    return CTestValue([number](VARIANT& value) {
        value.vt = VT_UI4;
        value.ulVal = number;
    });
}

CTestValue CTestValue::IntArray(std::initializer_list<LONG> values)
{
    return CTestValue([values](VARIANT& value) {
        value.vt = VT_ARRAY | VT_I4;
        value.parray = MakeArray<LONG>(VT_I4, values, [](SAFEARRAY* array, LONG index, LONG element) {
            SafeArrayPutElement(array, &index, &element);
        });
    });
}

CTestValue CTestValue::TextArray(std::initializer_list<const wchar_t*> values)
{
    return CTestValue([values](VARIANT& value) {
        value.vt = VT_ARRAY | VT_BSTR;
        value.parray = MakeArray<const wchar_t*>(VT_BSTR, values, [](SAFEARRAY* array, LONG index, const wchar_t* text) {
            BSTR element = SysAllocString(text);
            SafeArrayPutElement(array, &index, element);
            SysFreeString(element);
        });
    });
}

std::wstring ErrorLine(const std::wstring& text)
{
    return L"Error:\t" + text + L"\t(last error = ";
}
