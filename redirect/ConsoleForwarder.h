#pragma once
#include <windows.h>
#include <string>

// Forwards what a child process draws on a console screen buffer to an
// output handle as UTF-16LE text (see CellStream.h for the format).
//
// The buffer is made as tall as the console allows and read incrementally,
// from the last forwarded cell up to the cursor; nothing is cleared while the
// child may be writing, so a burst of output is never lost. Cells that the
// child redraws in place (a progress line rewritten after "\r") are forwarded
// again from the start of their line, each time they are seen changed.
//
// The buffer is emptied and the cursor moved home once the forwarded cells
// reach past half the buffer, at a moment when the child cannot write (its
// owner holds it suspended, or it has been quiet for a whole pause): output
// written between the last read and the emptying would be lost.
//
// Cells are read a few thousand at a time; a read that fails is retried at
// the next poll, and nothing past it counts as forwarded.
class CConsoleForwarder
{
public:
    CConsoleForwarder(HANDLE screen, HANDLE output);

    // Makes the buffer tall and fills every cell with the empty character.
    // False when the buffer cannot be used at all.
    bool Prepare();

    // Forwards what changed since the last look; false when nothing did.
    bool Poll();

    // True once the forwarded cells reach past half the buffer.
    bool IsPastHalf() const;
    // Empties the buffer and homes the cursor when it is past half and
    // everything up to the cursor has been forwarded. Only while the child
    // cannot write: held suspended, or quiet for a whole pause.
    void RotateIfFull();

    SHORT GetWidth() const { return m_width; }
    SHORT GetHeight() const { return m_height; }

private:
    DWORD RowStart(DWORD cell) const { return cell - cell % m_width; }
    std::wstring ReadCells(DWORD first, DWORD count) const;
    bool ReadCursor(DWORD& cell) const;
    void Write(const std::wstring& text) const;

    HANDLE m_screen;
    HANDLE m_output;
    SHORT m_width = 0;
    SHORT m_height = 0;
    // Cells before this one have been forwarded.
    DWORD m_last = 0;
    // The cells from the start of m_last's row up to m_last, as forwarded;
    // a difference shows that the child redrew them.
    std::wstring m_line;
    // The furthest cursor position seen since the buffer was last emptied.
    DWORD m_highWater = 0;
};
