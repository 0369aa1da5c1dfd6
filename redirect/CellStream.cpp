#include "redirect/CellStream.h"

void AppendCellsAsText(const wchar_t* cells, size_t count, unsigned width, std::wstring& text)
{
    if (width == 0)
        width = 1;
    size_t i = 0;
    while (i < count)
    {
        size_t runStart = i;
        bool empty = cells[i] == L'\0';
        while (i < count && (cells[i] == L'\0') == empty)
            ++i;
        size_t run = i - runStart;
        if (!empty)
        {
            text.append(cells + runStart, run);
            continue;
        }
        for (size_t breaks = (run + width - 1) / width; breaks > 0; --breaks)
            text += L"\r\n";
    }
}
