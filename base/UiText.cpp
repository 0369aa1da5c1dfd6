#include "base/UiText.h"

namespace
{
IUiTextSource* g_textSource = nullptr;
}

IUiTextSource* SetUiTextSource(IUiTextSource* source)
{
    IUiTextSource* previous = g_textSource;
    g_textSource = source;
    return previous;
}

const wchar_t* GetUiText(int id)
{
    return g_textSource ? g_textSource->GetString(id) : L"";
}

std::wstring GetUiLanguageCode()
{
    return g_textSource ? g_textSource->GetLanguageCode() : std::wstring();
}
