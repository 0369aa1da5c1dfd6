// Heavy console output through Ostrel: lines written as fast as the child
// can, and one line redrawn in place many times. Prints what was expected,
// what arrived and how long it took; nothing is judged.
//   ostrel_bench <Ostrel.exe> [more Ostrel.exe ...]
#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <string>

#include "testbed/support/OstrelRun.h"

namespace
{
const int kLines = 100000;
const int kRedraws = 10000;
const DWORD kTimeoutMs = 600000;

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

COstrelResult TimedRun(const std::wstring& ostrel, const std::wstring& arguments, double& seconds)
{
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    COstrelResult result = RunOstrel(ostrel, WriterCommand(arguments), kTimeoutMs);
    QueryPerformanceCounter(&to);
    seconds = Seconds(from, to);
    return result;
}

// Lines "line 000001" .. in order: counts those that arrived where expected.
void StressLines(const std::wstring& ostrel)
{
    double seconds = 0;
    COstrelResult result = TimedRun(ostrel, L"stress " + std::to_wstring(kLines), seconds);
    int received = 0;
    int inOrder = 0;
    int expectedNext = 1;
    size_t start = 0;
    while (start < result.text.size())
    {
        size_t end = result.text.find(L"\r\n", start);
        if (end == std::wstring::npos)
            end = result.text.size();
        int number = 0;
        if (std::swscanf(result.text.c_str() + start, L"line %d", &number) == 1)
        {
            ++received;
            inOrder += number == expectedNext;
            expectedNext = number + 1;
        }
        start = end + 2;
    }
    std::printf("  %d lines: expected %d, received %d, in order %d, lost %d, %.1f s (exit code %lu)\n", kLines, kLines,
                received, inOrder, kLines - inOrder, seconds, static_cast<unsigned long>(result.exitCode));
}

// "step 000001" .. redrawn in place: the snapshots that arrive must rise,
// and the last state must arrive.
void RedrawnLine(const std::wstring& ostrel)
{
    double seconds = 0;
    COstrelResult result = TimedRun(ostrel, L"redraw " + std::to_wstring(kRedraws), seconds);
    int snapshots = 0;
    int last = 0;
    bool rising = true;
    for (size_t at = result.text.find(L"step "); at != std::wstring::npos; at = result.text.find(L"step ", at + 5))
    {
        int step = 0;
        if (std::swscanf(result.text.c_str() + at, L"step %d", &step) != 1)
            continue;
        ++snapshots;
        rising = rising && step > last;
        last = step;
    }
    const bool complete = last == kRedraws && rising;
    std::printf("  line redrawn %d times: expected last step %d, received %d snapshots, last step %d, %s, lost %d, "
                "%.1f s\n",
                kRedraws, kRedraws, snapshots, last, rising ? "rising" : "NOT rising", complete ? 0 : 1, seconds);
}
}

int wmain(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; ++i)
    {
        std::printf("Ostrel %ls\n", argv[i]);
        std::fflush(stdout);
        StressLines(argv[i]);
        RedrawnLine(argv[i]);
        std::fflush(stdout);
    }
    return 0;
}
