#pragma once
#include <windows.h>

#include <string>

#include "base/Log.h"
#include "base/ScopedHandle.h"

// A self-trimming UTF-16LE text log. Every line is
// "yyyy.mm.dd hh:mm:ss <text>\r\n"; the file is opened and closed for each
// line, and when it has grown past its cap only its newest whole lines are
// kept. Logging never reports a failure: a line that cannot be written is lost.
class CLogFile
{
public:
    // capKB is held within 128 KB .. 1 GB. keepKB is the tail kept when the
    // cap is exceeded; 0, a negative value or more than 80 % of the cap means
    // half the cap. Writes the start-up line.
    CLogFile(std::wstring folder, std::wstring fileName, std::wstring timeFormat, int capKB, int keepKB);
    // Writes the shutdown line.
    ~CLogFile();

    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Thread-safe: waits up to 15 seconds for the other writers, otherwise
    // drops the line.
    void Write(const std::wstring& text);

    // Writes one line without taking the writers' lock.
    void AppendLine(const std::wstring& text) noexcept;

    const std::wstring& GetPath() const { return m_path; }
    int GetCapBytes() const { return m_capBytes; }
    int GetKeepBytes() const { return m_keepBytes; }

private:
    void AppendLineToFile(const std::wstring& line);

    std::wstring m_folder;    // always ends with a backslash (unless empty)
    std::wstring m_path;
    // Kept for the owner's records; the line layout above is fixed.
    std::wstring m_timeFormat;
    int m_capBytes;
    int m_keepBytes;
    CScopedHandle m_mutex;    // serialises the writers of this instance
};

// Makes a log file the process's log sink while it lives.
class CLogFileSink : public ILogSink
{
public:
    explicit CLogFileSink(CLogFile& file) : m_file(file), m_installation(*this) {}

    void Write(const std::wstring& text) override { m_file.Write(text); }

private:
    CLogFile& m_file;
    CLogSinkInstallation m_installation;
};
