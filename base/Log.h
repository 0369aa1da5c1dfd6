#pragma once
#include <windows.h>
#include <string>

// Where the program's log lines go. The program plugs its log file in when
// it starts; tests plug in a sink that records the lines. Without a sink the
// lines are dropped.
class ILogSink
{
public:
    virtual ~ILogSink() = default;
    // Called from any thread; the sink serialises its writes itself.
    virtual void Write(const std::wstring& text) = 0;
};

// Installs the sink for the whole process and returns the one it replaces.
// Install before any thread logs; the sink must outlive every line written
// to it.
ILogSink* SetLogSink(ILogSink* sink);

// Writes one line to the program log.
void Log(const std::wstring& text);
// Writes "Error:\t<description>\t(last error = <n>)".
void LogError(const std::wstring& description, DWORD lastError);

// Installs a sink while it lives and puts the previous one back afterwards.
class CLogSinkInstallation
{
public:
    explicit CLogSinkInstallation(ILogSink& sink) : m_previous(SetLogSink(&sink)) {}
    ~CLogSinkInstallation() { SetLogSink(m_previous); }

    CLogSinkInstallation(const CLogSinkInstallation&) = delete;
    CLogSinkInstallation& operator=(const CLogSinkInstallation&) = delete;

private:
    ILogSink* m_previous;
};
