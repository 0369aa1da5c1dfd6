// Times how quickly the main program stops a run, on a registry with
// 10,000 planted broken entries:
//   stop_latency_bench <program> <working folder>
// Starts the program and, for each of seven points of a run, presses Begin
// Test by window message, waits until the program log shows that the run
// has reached the point, presses Cancel Scan and times until the window
// shows its idle look again. Prints figures only; the planted entries are
// removed at the end.
#include <windows.h>

#include <cstdio>
#include <string>

#include "testbed/support/BrokenEntries.h"
#include "testbed/support/LogRecorder.h"
#include "testbed/support/Stopwatch.h"
#include "testbed/support/WindowDriver.h"

namespace
{
// The main window's controls.
const UINT kBeginTest = 1001;
const UINT kCancelScan = 1028;

const int kPlantedEntries = 10000;
const DWORD kReachTimeoutMs = 20 * 60 * 1000;
const DWORD kStopTimeoutMs = 20 * 60 * 1000;
const DWORD kLogPollMs = 50;

struct StopPoint
{
    const char* label;
    // The log line that shows the run has reached the point, and one that
    // shows it has gone past it.
    const wchar_t* reached;
    const wchar_t* passed;
    // The memory test logs nothing when its sampling starts; its WMI query,
    // the step before, takes milliseconds.
    DWORD settleMs;
    // What the program may finish after the stop, beside the one second.
    const char* allowedStep;
};

const StopPoint kPoints[] = {
    {"hardware inventory", L"HARDWARE INFO TEST: begin test", L"HDD TEST: begin test", 0, "one WMI query"},
    {"disk analysis", L"HDD TEST: try to analyze disk", L"disk count =", 0, "ending the defragmenter"},
    {"CPU load phase", L"CPU TEST: estimation of CPU consumed", L"CPU TEST: average CPU consumed", 0,
     "one load sample and its pause, 2 s"},
    {"memory sampling", L"MEMORY TEST: try run WMI", L"MEMORY TEST: end test", 500, "one sample pause, 1 s"},
    {"registry count", L"SYS TEST: Scanning total registry entries number...", L"SYS TEST: Total registry entries =",
     0, "one key's values, then start-up count and drive fill"},
    {"system test sampling", L"SYS TEST: Total registry entries =", L"SYS TEST: count of runing processes", 0,
     "start-up count and drive fill"},
    {"system test scans", L"SYS TEST: Scan com errors.", L"SYS TEST: Registry errors =", 0, "the running scan"},
};

struct RunningTest
{
    const char* name;
    const wchar_t* begin;
    const wchar_t* end;
};

// The run thread starts the hard-disk test as soon as the inventory is done.
const RunningTest kTests[] = {
    {"inventory", L"HARDWARE INFO TEST: begin test", L"HDD TEST: begin test"},
    {"HDD", L"HDD TEST: begin test", L"HDD TEST: end test"},
    {"CPU", L"CPU TEST: start test", L"CPU TEST: finish test"},
    {"memory", L"MEMORY TEST: begin test", L"MEMORY TEST: end test"},
    {"video", L"VIDEO TEST: begin test", L"VIDEO TEST: end test"},
    {"system", L"SYS TEST: begin test", L"SYS TEST: end test"},
};

// The log lines of the run under way: those after its "Start tests" line,
// which the window's Begin Test writes before it returns.
std::wstring CurrentRunLog()
{
    const std::wstring log = ReadProgramLog();
    const size_t start = log.rfind(L" Start tests\r\n");
    return start == std::wstring::npos ? std::wstring() : log.substr(start);
}

bool Contains(const std::wstring& text, const wchar_t* part)
{
    return text.find(part) != std::wstring::npos;
}

std::string RunningTests(const std::wstring& runLog)
{
    std::string names;
    for (const RunningTest& test : kTests)
        if (Contains(runLog, test.begin) && !Contains(runLog, test.end))
            names += names.empty() ? test.name : std::string(", ") + test.name;
    return names.empty() ? "none" : names;
}

// The running look: Cancel Scan is shown only while a run is under way.
bool Running(const CProgramWindow& program)
{
    return program.Visible(kCancelScan);
}

// Pressed until the running look shows: a click may come before the
// window has taken the last one up.
bool StartRun(const CProgramWindow& program)
{
    return WaitUntil([&] { return program.Click(kBeginTest) && Running(program); });
}

// False when the run ended, or took too long, before it got there.
bool WaitForPoint(const CProgramWindow& program, const StopPoint& point)
{
    bool reached = false;
    WaitUntil(
        [&] {
            Sleep(kLogPollMs); // the log is read whole: not too often
            reached = Contains(CurrentRunLog(), point.reached);
            return reached || !Running(program);
        },
        kReachTimeoutMs);
    return reached && Running(program);
}

// False when the program did not come back to the idle look in time.
bool MeasureStop(const CProgramWindow& program, const StopPoint& point)
{
    if (!StartRun(program))
    {
        std::printf("  %-22s Begin Test was not taken up\n", point.label);
        return false;
    }
    if (!WaitForPoint(program, point))
    {
        std::printf("  %-22s not reached (the run ended or took too long)\n", point.label);
        program.Click(kCancelScan);
        return WaitUntil([&] { return !Running(program); }, kStopTimeoutMs);
    }
    Sleep(point.settleMs);
    const std::wstring runLog = CurrentRunLog();
    LARGE_INTEGER pressed;
    QueryPerformanceCounter(&pressed);
    program.Click(kCancelScan);
    const bool idle = WaitUntil([&] { return program.Visible(kBeginTest); }, kStopTimeoutMs);
    const double seconds = SecondsSince(pressed);
    std::printf("  %-22s %s %8.2f s   goal <= 1 s + %s; running then: %s%s\n", point.label,
                idle ? "idle after" : "NOT idle after", seconds, point.allowedStep, RunningTests(runLog).c_str(),
                Contains(runLog, point.passed) ? " (the point had already passed)" : "");
    std::fflush(stdout);
    return idle;
}
}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: stop_latency_bench <program> <working folder>\n");
        return 2;
    }
    std::printf("planting %d broken registry entries\n", kPlantedEntries);
    std::fflush(stdout);
    CPlantedBrokenEntries planted(kPlantedEntries);

    CProgramWindow program(argv[1], L"", argv[2]);
    if (!program.Started() || !program.WaitForWindow(60000))
    {
        std::printf("stop latency: the program's window did not appear\n");
        return 1;
    }
    std::printf("time from Cancel Scan to the idle look, at seven points of a run:\n");
    for (const StopPoint& point : kPoints)
        if (!MeasureStop(program, point))
            break;
    // Escape: it ends the program without a question.
    program.PostClick(IDCANCEL);
    program.WaitForExit(kStopTimeoutMs);
    return 0;
}
