#include "base/Log.h"

#include <atomic>

#include "base/StringFormat.h"

namespace
{
// Constant-initialised, so it is null before any static constructor runs.
std::atomic<ILogSink*> g_logSink{nullptr};
}

ILogSink* SetLogSink(ILogSink* sink)
{
    return g_logSink.exchange(sink);
}

void Log(const std::wstring& text)
{
    if (ILogSink* sink = g_logSink.load())
        sink->Write(text);
}

void LogError(const std::wstring& description, DWORD lastError)
{
    Log(FormatText(L"Error:\t%ls\t(last error = %d)", description.c_str(), static_cast<int>(lastError)));
}
