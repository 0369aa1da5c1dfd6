#pragma once
#include <string>

// Turns a run of console cells into the text Ostrel forwards: written cells
// are copied as they are, and a run of k empty cells (character 0) becomes
// ceil(k / width) line breaks (CR LF), so the blank rest of a line gives one
// break and every further blank line one more.
void AppendCellsAsText(const wchar_t* cells, size_t count, unsigned width, std::wstring& text);
