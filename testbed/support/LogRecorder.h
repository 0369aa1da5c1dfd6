#pragma once
#include <string>

#include "base/CriticalSection.h"
#include "base/Log.h"

// Records the lines this process logs while the recorder lives, in place of
// whatever sink was installed before (the program log, when the test
// program has one), which it puts back when destroyed. Lines from any
// thread are recorded whole.
class CLogRecorder : public ILogSink
{
public:
    CLogRecorder();
    ~CLogRecorder() override;

    CLogRecorder(const CLogRecorder&) = delete;
    CLogRecorder& operator=(const CLogRecorder&) = delete;

    void Write(const std::wstring& text) override;

    // The lines recorded so far, each followed by CR LF.
    std::wstring NewText() const;
    // How often text occurs in the recorded lines.
    int Count(const std::wstring& text) const;
    bool Contains(const std::wstring& text) const { return Count(text) > 0; }

private:
    mutable CCriticalSection m_lock;
    std::wstring m_text;
    ILogSink* m_previous;
};

// The text of the program log "tessarin.log" as it is on disk, for the tests
// that start the programs writing it; read while they may still write.
std::wstring ReadProgramLog();
