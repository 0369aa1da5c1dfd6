#include "shell/TranslatedFormat.h"

#include <cwchar>

#include "shell/Module.h"
#include "base/StringFormat.h"

namespace
{
// Moves the cursor past the next conversion, "%%" skipped,
// and returns where it began; null at the end of the text.
const wchar_t* NextConversion(const wchar_t*& cursor)
{
    for (; *cursor; ++cursor)
    {
        if (*cursor != L'%')
            continue;
        if (cursor[1] == L'%')
        {
            ++cursor;
            continue;
        }
        const wchar_t* start = cursor++;
        // Flags, width, precision and length, then the conversion itself.
        while (*cursor && wcschr(L"-+ #0123456789.*hlLqjztI", *cursor))
            ++cursor;
        if (*cursor)
            ++cursor;
        return start;
    }
    return nullptr;
}
}

bool HasConversionsOf(const wchar_t* text, const wchar_t* reference)
{
    for (;;)
    {
        const wchar_t* ours = NextConversion(text);
        const wchar_t* theirs = NextConversion(reference);
        if (!ours || !theirs)
            return !ours && !theirs;
        if (text - ours != reference - theirs || wmemcmp(ours, theirs, text - ours) != 0)
            return false;
    }
}

const wchar_t* GetFormatText(int id)
{
    const wchar_t* englishDefault = g_module.GetLanguageManager().GetDefaultString(id);
    const wchar_t* text = g_module.GetString(id);
    if (HasConversionsOf(text, englishDefault))
        return text;
    g_module.Log(FormatText(L"Language text %d does not fit its format; the English text is used.", id));
    return englishDefault;
}
