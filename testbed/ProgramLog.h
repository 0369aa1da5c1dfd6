#pragma once
#include <string>

// The text of the program log "tessarin.log" as it is on disk, read while
// the program may still be writing to it.
std::wstring ReadProgramLog();

// The lines the program log gained since this object was made. Every test
// program shares the log, and any of them may make it trim itself, so a
// byte position is no reliable start: the tail writes a mark line of its
// own and reads what follows the mark.
class CProgramLogTail
{
public:
    CProgramLogTail();
    // Empty when the mark is no longer in the log.
    std::wstring NewText() const;
    // How often text occurs in the new lines.
    int Count(const std::wstring& text) const;
    bool Contains(const std::wstring& text) const { return Count(text) > 0; }

private:
    std::wstring m_mark;
};
