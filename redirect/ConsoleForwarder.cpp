#include "redirect/ConsoleForwarder.h"

#include <algorithm>

#include "redirect/CellStream.h"

namespace
{
// The tallest buffer the console accepts (rows are a SHORT).
constexpr SHORT kTallestBuffer = 32766;
// Older console hosts serve every call from a shared heap of 64 KB, so the
// cells are read a few thousand at a time.
constexpr DWORD kReadChunk = 4096;

COORD CellCoord(DWORD cell, SHORT width)
{
    COORD coord;
    coord.X = static_cast<SHORT>(cell % width);
    coord.Y = static_cast<SHORT>(cell / width);
    return coord;
}
}

CConsoleForwarder::CConsoleForwarder(HANDLE screen, HANDLE output) : m_screen(screen), m_output(output)
{
}

bool CConsoleForwarder::Prepare()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(m_screen, &info) || info.dwSize.X <= 0)
        return false;
    m_width = info.dwSize.X;
    m_height = info.dwSize.Y;
    // Older consoles refuse very tall buffers: take the tallest they accept.
    for (SHORT rows = kTallestBuffer; rows > m_height; rows = static_cast<SHORT>(rows / 2))
    {
        COORD size = {m_width, rows};
        if (SetConsoleScreenBufferSize(m_screen, size))
        {
            m_height = rows;
            break;
        }
    }
    DWORD filled = 0;
    COORD home = {0, 0};
    return FillConsoleOutputCharacterW(m_screen, L'\0', static_cast<DWORD>(m_width) * m_height, home, &filled) != 0;
}

bool CConsoleForwarder::Poll()
{
    DWORD cursor = 0;
    if (!ReadCursor(cursor))
        return false;

    DWORD lineStart = RowStart(m_last);
    std::wstring line = ReadCells(lineStart, m_last - lineStart);
    if (line.size() != m_last - lineStart)
        return false; // looked at again at the next poll
    bool redrawn = cursor < m_last || line != m_line;
    if (!redrawn && cursor == m_last)
        return false;

    // A redraw goes out again from the start of its line; a cursor that went
    // back to an earlier row starts the line there.
    DWORD from = redrawn ? std::min(RowStart(cursor), lineStart) : m_last;
    std::wstring cells = ReadCells(from, cursor - from);
    if (from + cells.size() < cursor)
    {
        // A read failed part-way. What follows is read at the next poll, and
        // so is a trailing run of empty cells: split in two, it would give
        // more line breaks than it holds rows.
        size_t written = cells.find_last_not_of(L'\0');
        cells.resize(written == std::wstring::npos ? 0 : written + 1);
    }
    if (cells.empty())
        return false;
    DWORD end = from + static_cast<DWORD>(cells.size());
    DWORD endRow = RowStart(end);
    if (endRow >= from)
        m_line = cells.substr(endRow - from);
    else
        m_line += cells;

    std::wstring text;
    AppendCellsAsText(cells.data(), cells.size(), m_width, text);
    Write(text);
    m_last = end;
    m_highWater = std::max(m_highWater, end);
    return true;
}

bool CConsoleForwarder::IsPastHalf() const
{
    return RowStart(m_last) / m_width >= static_cast<DWORD>(m_height / 2);
}

void CConsoleForwarder::RotateIfFull()
{
    DWORD cursor = 0;
    if (!IsPastHalf() || !ReadCursor(cursor) || cursor != m_last)
        return;
    // What the current line held is forwarded already; output that follows
    // continues it from the top.
    DWORD filled = 0;
    COORD home = {0, 0};
    DWORD used = std::min<DWORD>(RowStart(m_highWater) + m_width, static_cast<DWORD>(m_width) * m_height);
    FillConsoleOutputCharacterW(m_screen, L'\0', used, home, &filled);
    SetConsoleCursorPosition(m_screen, home);
    m_last = 0;
    m_line.clear();
    m_highWater = 0;
}

std::wstring CConsoleForwarder::ReadCells(DWORD first, DWORD count) const
{
    std::wstring cells;
    cells.reserve(count);
    wchar_t chunk[kReadChunk];
    while (cells.size() < count)
    {
        DWORD wanted = std::min<DWORD>(kReadChunk, count - static_cast<DWORD>(cells.size()));
        DWORD read = 0;
        COORD at = CellCoord(first + static_cast<DWORD>(cells.size()), m_width);
        if (!ReadConsoleOutputCharacterW(m_screen, chunk, wanted, at, &read) || read == 0)
            break;
        cells.append(chunk, read);
    }
    return cells;
}

bool CConsoleForwarder::ReadCursor(DWORD& cell) const
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(m_screen, &info))
        return false;
    cell = static_cast<DWORD>(info.dwCursorPosition.Y) * m_width + info.dwCursorPosition.X;
    return true;
}

void CConsoleForwarder::Write(const std::wstring& text) const
{
    // Write errors are ignored: the reader may have gone, the child still
    // has to be waited for.
    DWORD written = 0;
    if (!text.empty())
        WriteFile(m_output, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
}
