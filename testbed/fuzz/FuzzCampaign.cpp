#include "testbed/fuzz/FuzzCampaign.h"

#include <process.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "base/ScopedHandle.h"
#include "base/StringFormat.h"

namespace
{
const UINT kHangExitCode = 98;
const size_t kNoCase = static_cast<size_t>(-1);
const char kReplayMagic[] = "tessarin-fuzz";

struct Options
{
    unsigned long long seed = 19;
    size_t cases = 20;
    size_t first = 0;
    std::wstring out = L".";
    std::string reader;
    std::wstring replay;
    // 0: each reader's own bound.
    unsigned long caseLimitMs = 0;
    bool child = false;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::wstring name = argv[i];
        if (name == L"--child")
        {
            options.child = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const wchar_t* value = argv[++i];
        if (name == L"--seed")
            options.seed = wcstoull(value, nullptr, 10);
        else if (name == L"--cases")
            options.cases = wcstoul(value, nullptr, 10);
        else if (name == L"--first")
            options.first = wcstoul(value, nullptr, 10);
        else if (name == L"--out")
            options.out = value;
        else if (name == L"--reader")
            options.reader = Narrow(value);
        else if (name == L"--replay")
            options.replay = value;
        else if (name == L"--case-limit-ms")
            options.caseLimitMs = wcstoul(value, nullptr, 10);
        else
            return false;
    }
    return true;
}

std::wstring CaseFile(const Options& options, const std::string& reader, const char* kind, size_t index)
{
    return FormatText(L"%ls\\%hs-%hs-%zu.case", options.out.c_str(), reader.c_str(), kind, index);
}

std::wstring CurrentFile(const Options& options, const std::string& reader)
{
    return FormatText(L"%ls\\%hs.current", options.out.c_str(), reader.c_str());
}

}

namespace
{
// A replay file: one header line naming the reader, seed and case, then
// the input's bytes.
std::string ReplayBytes(const std::string& reader, const Options& options, size_t index, const std::string& input)
{
    char header[256];
    std::snprintf(header, sizeof(header), "%s %s seed %llu case %zu\n", kReplayMagic, reader.c_str(), options.seed,
                  index);
    return header + input;
}

// Lines to the parent go straight to the pipe, never through a buffer a
// crash would lose.
void Report(const char* format, ...)
{
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, length < 0 ? 0 : std::min<DWORD>(length, sizeof(line) - 1),
              &written, nullptr);
}

// The child's own watch may itself be stuck (a case that deadlocked on the
// heap or the loader lock holds it too): the parent gives a silent child
// this much beyond the case bound before it ends the child itself.
const DWORD kParentGraceMs = 10000;

DWORD CaseLimitMs(const FuzzReader& reader, const Options& options)
{
    return options.caseLimitMs ? std::min<DWORD>(options.caseLimitMs, reader.caseLimitMs) : reader.caseLimitMs;
}

// Ends the child when a case outlives the reader's bound, keeping the case.
class CCaseWatch
{
public:
    CCaseWatch(DWORD limitMs, std::wstring currentPath, std::wstring hangPath)
        : m_limitMs(limitMs), m_currentPath(std::move(currentPath)), m_hangPath(std::move(hangPath)),
          m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CCaseWatch::Watch, this, 0, nullptr)));
    }
    ~CCaseWatch()
    {
        SetEvent(m_stop.Get());
        WaitForSingleObject(m_thread.Get(), INFINITE);
    }
    void Start(size_t index, const std::wstring& hangPath)
    {
        m_hangPath = hangPath;
        m_index = index;
        m_start = GetTickCount();
        m_running = true;
    }
    void Stop() { m_running = false; }

private:
    static unsigned __stdcall Watch(void* param)
    {
        auto* self = static_cast<CCaseWatch*>(param);
        while (WaitForSingleObject(self->m_stop.Get(), 50) == WAIT_TIMEOUT)
        {
            if (self->m_running && GetTickCount() - self->m_start > self->m_limitMs)
            {
                CopyFileW(self->m_currentPath.c_str(), self->m_hangPath.c_str(), FALSE);
                Report("hang %zu %lu\n", static_cast<size_t>(self->m_index), self->m_limitMs);
                TerminateProcess(GetCurrentProcess(), kHangExitCode);
            }
        }
        return 0;
    }

    const DWORD m_limitMs;
    const std::wstring m_currentPath;
    std::wstring m_hangPath;
    CScopedHandle m_stop;
    CScopedHandle m_thread;
    volatile size_t m_index = 0;
    volatile DWORD m_start = 0;
    volatile bool m_running = false;
};

// Runs cases first .. cases-1 of one reader; the parent reads the lines.
int RunChild(const FuzzReader& reader, const Options& options)
{
    const std::wstring current = CurrentFile(options, reader.name);
    CCaseWatch watch(CaseLimitMs(reader, options), current, std::wstring());
    DWORD slowest = 0;
    for (size_t index = options.first; index < options.cases; ++index)
    {
        CFuzzRandom random(CaseSeed(options.seed, reader.name, index));
        const std::string input = reader.generate(random);
        WriteFileBytes(current, ReplayBytes(reader.name, options, index, input));
        Report("start %zu %zu\n", index, input.size());
        watch.Start(index, CaseFile(options, reader.name, "hang", index));
        const DWORD start = GetTickCount();
        FuzzOutcome outcome = reader.run(input);
        const DWORD elapsed = GetTickCount() - start;
        watch.Stop();
        // The slowest case is kept too: its replay shows where time goes.
        if (index == options.first || elapsed > slowest)
        {
            slowest = elapsed;
            CopyFileW(current.c_str(), CaseFile(options, reader.name, "slowest", 0).c_str(), FALSE);
        }
        if (!outcome.ok)
        {
            CopyFileW(current.c_str(), CaseFile(options, reader.name, "fail", index).c_str(), FALSE);
            Report("fail %zu %.300s\n", index, outcome.problem.c_str());
        }
        Report("done %zu %zu %lu\n", index, input.size(), static_cast<unsigned long>(elapsed));
    }
    DeleteFileW(current.c_str());
    return 0;
}

struct Tally
{
    size_t cases = 0;
    size_t crashes = 0;
    size_t hangs = 0;
    size_t failures = 0;
    size_t slowestCase = 0;
    size_t slowestSize = 0;
    unsigned long slowestMs = 0;
};

// Reads the child's lines until it ends; returns the case it started last.
// A child that writes nothing for silentLimitMs (a case, or the time
// between two, past every bound) is ended with the hang exit code.
size_t FollowChild(HANDLE output, HANDLE child, DWORD silentLimitMs, Tally& tally, const std::string& reader,
                   const Options& options)
{
    size_t started = kNoCase;
    std::string pending;
    char piece[4096];
    DWORD read = 0;
    DWORD lastHeard = GetTickCount();
    for (;;)
    {
        DWORD available = 0;
        // Fails once the child has ended and its end of the pipe is closed.
        if (!PeekNamedPipe(output, nullptr, 0, nullptr, &available, nullptr))
            break;
        if (available == 0)
        {
            if (GetTickCount() - lastHeard > silentLimitMs)
            {
                TerminateProcess(child, kHangExitCode);
                std::printf("%s: the child stayed silent past %lu ms in case %zu and was ended\n", reader.c_str(),
                            static_cast<unsigned long>(silentLimitMs), started);
                CopyFileW(CurrentFile(options, reader).c_str(), CaseFile(options, reader, "hang", started).c_str(),
                          FALSE);
                break;
            }
            Sleep(20);
            continue;
        }
        if (!ReadFile(output, piece, std::min<DWORD>(available, sizeof(piece)), &read, nullptr) || read == 0)
            break;
        lastHeard = GetTickCount();
        pending.append(piece, read);
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos)
        {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            size_t index = 0, size = 0;
            unsigned long ms = 0;
            if (std::sscanf(line.c_str(), "start %zu", &index) == 1)
                started = index;
            else if (std::sscanf(line.c_str(), "done %zu %zu %lu", &index, &size, &ms) == 3)
            {
                ++tally.cases;
                if (tally.cases == 1 || ms > tally.slowestMs)
                {
                    tally.slowestCase = index;
                    tally.slowestSize = size;
                    tally.slowestMs = ms;
                }
            }
            else if (line.compare(0, 5, "fail ") == 0)
            {
                ++tally.failures;
                std::printf("%s: failed case %s\n", reader.c_str(), line.c_str() + 5);
            }
            else if (std::sscanf(line.c_str(), "hang %zu %lu", &index, &ms) == 2)
                std::printf("%s: hang in case %zu (past %lu ms), replay: %ls\n", reader.c_str(), index, ms,
                            CaseFile(options, reader, "hang", index).c_str());
            else
                std::printf("%s: %s\n", reader.c_str(), line.c_str());
        }
    }
    return started;
}

// Runs the reader's cases in child processes, starting again after the
// case that crashed or hung.
Tally RunReader(const FuzzReader& reader, const Options& options)
{
    Tally tally;
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    size_t first = options.first;
    while (first < options.cases)
    {
        std::wstring commandLine =
            FormatText(L"\"%ls\" --child --reader %hs --seed %llu --cases %zu --first %zu --out \"%ls\" "
                       L"--case-limit-ms %lu",
                       program, reader.name.c_str(), options.seed, options.cases, first, options.out.c_str(),
                       options.caseLimitMs);
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
            break;
        CScopedHandle pipeRead(readEnd), pipeWrite(writeEnd);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = writeEnd;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION child = {};
        if (!CreateProcessW(program, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child))
        {
            std::printf("%s: cannot start the child (error %lu)\n", reader.name.c_str(), GetLastError());
            ++tally.crashes;
            break;
        }
        CloseHandle(child.hThread);
        CScopedHandle process(child.hProcess);
        pipeWrite.Reset();
        const size_t started = FollowChild(readEnd, process.Get(), CaseLimitMs(reader, options) + kParentGraceMs,
                                           tally, reader.name, options);
        WaitForSingleObject(process.Get(), INFINITE);
        DWORD exitCode = 0;
        GetExitCodeProcess(process.Get(), &exitCode);
        if (exitCode == 0)
            break;
        if (started == kNoCase)
        {
            std::printf("%s: the child ended before its first case (exit code 0x%lX)\n", reader.name.c_str(), exitCode);
            ++tally.crashes;
            break;
        }
        if (exitCode == kHangExitCode)
            ++tally.hangs;
        else
        {
            ++tally.crashes;
            const std::wstring crashFile = CaseFile(options, reader.name, "crash", started);
            MoveFileExW(CurrentFile(options, reader.name).c_str(), crashFile.c_str(), MOVEFILE_REPLACE_EXISTING);
            std::printf("%s: crash in case %zu (exit code 0x%lX), replay: %ls\n", reader.name.c_str(), started,
                        exitCode, crashFile.c_str());
        }
        ++tally.cases;
        first = started + 1;
    }
    return tally;
}

// A crash ends the process at once with the exception code: Wine would
// otherwise start its debugger, which holds the crashed process for ever.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* exception)
{
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

int RunParent(const std::vector<FuzzReader>& readers, const Options& options)
{
    CreateDirectoryW(options.out.c_str(), nullptr);
    std::printf("seed %llu, %zu cases per reader, replay files in %ls\n", options.seed, options.cases,
                options.out.c_str());
    std::fflush(stdout);
    bool clean = true;
    for (const FuzzReader& reader : readers)
    {
        if (!options.reader.empty() && options.reader != reader.name)
            continue;
        const Tally tally = RunReader(reader, options);
        std::printf("%-18s cases %zu, crashes %zu, hangs %zu, failures %zu, slowest case %zu (%zu bytes, %lu ms)\n",
                    reader.name.c_str(), tally.cases, tally.crashes, tally.hangs, tally.failures, tally.slowestCase,
                    tally.slowestSize, tally.slowestMs);
        std::fflush(stdout);
        clean = clean && tally.crashes == 0 && tally.hangs == 0 && tally.failures == 0 &&
                tally.cases == options.cases - options.first;
    }
    return clean ? 0 : 1;
}

int RunReplay(const std::vector<FuzzReader>& readers, const Options& options)
{
    std::string bytes;
    if (!ReadFileBytes(options.replay, bytes))
    {
        std::printf("cannot read %ls\n", options.replay.c_str());
        return 2;
    }
    const size_t headerEnd = bytes.find('\n');
    char magic[32] = {}, name[64] = {};
    if (headerEnd == std::string::npos ||
        std::sscanf(bytes.substr(0, headerEnd).c_str(), "%31s %63s", magic, name) != 2 || kReplayMagic != std::string(magic))
    {
        std::printf("%ls is no replay file\n", options.replay.c_str());
        return 2;
    }
    for (const FuzzReader& reader : readers)
    {
        if (reader.name != name)
            continue;
        const DWORD start = GetTickCount();
        const FuzzOutcome outcome = reader.run(bytes.substr(headerEnd + 1));
        std::printf("%s: %s (%zu bytes, %lu ms)%s%s\n", name, outcome.ok ? "passed" : "FAILED",
                    bytes.size() - headerEnd - 1, GetTickCount() - start, outcome.ok ? "" : ": ",
                    outcome.problem.c_str());
        return outcome.ok ? 0 : 1;
    }
    std::printf("no reader %s here\n", name);
    return 2;
}
}

int RunFuzzProgram(int argc, wchar_t** argv, const std::vector<FuzzReader>& readers,
                   const std::function<bool()>& setUp)
{
    Options options;
    if (!ParseOptions(argc, argv, options))
    {
        std::printf("usage: %ls [--seed S] [--cases N] [--out DIR] [--reader NAME] [--case-limit-ms T] | --replay FILE\n",
                    argv[0]);
        return 2;
    }
    // Crashes end the child at once, without a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(EndOnCrash);
    if (!options.replay.empty() || options.child)
    {
        if (setUp && !setUp())
        {
            Report("set-up failed\n");
            return 3;
        }
        if (!options.replay.empty())
            return RunReplay(readers, options);
        for (const FuzzReader& reader : readers)
            if (reader.name == options.reader)
                return RunChild(reader, options);
        return 2;
    }
    return RunParent(readers, options);
}
