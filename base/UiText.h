#pragma once
#include <string>

// The UI texts of the current language, for code below the program's
// language manager. The program plugs its language manager in when it
// starts; without a source every text is empty.
class IUiTextSource
{
public:
    virtual ~IUiTextSource() = default;
    // The text of the id in the current language; empty for an unknown id.
    // Callable from any thread; the text stays valid for the program's
    // lifetime.
    virtual const wchar_t* GetString(int id) = 0;
    // The current language's code as sent in web requests.
    virtual std::wstring GetLanguageCode() const = 0;
};

// Installs the source for the whole process and returns the one it replaces.
IUiTextSource* SetUiTextSource(IUiTextSource* source);

const wchar_t* GetUiText(int id);
std::wstring GetUiLanguageCode();
