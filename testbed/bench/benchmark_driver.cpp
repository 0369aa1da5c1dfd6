// Runs the main program through one benchmark as a user would, by window
// messages, and reports what the window shows:
//   benchmark_driver <program> <working folder> <screenshot folder>
// Presses Begin Test, prints the progress in place, waits for the result,
// prints the percentage and the totals of the result document that
// Optimize Your PC saves, and closes the program. Also prints the time from
// the program's start to its visible window and its peak working set, and
// both against baselines measured in the same run: a trivial window program
// and a program that loads the same platform parts and runs the same WMI
// queries (trivial_window.exe and platform_baseline.exe beside this one).
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "testbed/support/FileBytes.h"
#include "testbed/support/WindowDriver.h"

namespace
{
// The main window's controls.
const UINT kBeginTest = 1001;
const UINT kOptimize = 1005;
const UINT kClose = 1000;
const UINT kPercentage = 1025;
const UINT kProgress = 1008;
const DWORD kRunTimeoutMs = 30 * 60 * 1000;

// The text of the first <name> element of a small XML file.
std::string ElementText(const std::string& document, const std::string& name)
{
    const std::string open = "<" + name + ">";
    const size_t start = document.find(open);
    if (start == std::string::npos)
        return "?";
    const size_t end = document.find("</" + name + ">", start);
    return document.substr(start + open.size(), end - start - open.size());
}

size_t PeakWorkingSet(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    return GetProcessMemoryInfo(process, &counters, sizeof(counters)) ? counters.PeakWorkingSetSize : 0;
}

bool Screenshot(const CProgramWindow& program, const std::wstring& folder, const wchar_t* name)
{
    const std::wstring path = folder + L"\\" + name + L".png";
    const bool saved = SaveScreenshot(program.Window(), path);
    std::printf("screenshot %ls: %s\n", name, saved ? "saved" : "FAILED");
    return saved;
}

// A baseline program beside this driver, started and waited for as the main
// program is; its figures once its window shows, then it is closed.
struct BaselineFigures
{
    double windowSeconds;
    double peakMB;
};

bool MeasureBaseline(const wchar_t* name, const std::wstring& folder, BaselineFigures& figures)
{
    wchar_t driver[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, driver, MAX_PATH);
    std::wstring path = driver;
    path.erase(path.rfind(L'\\') + 1);
    path += name;
    const DWORD startTick = GetTickCount();
    CProgramWindow program(path, L"", folder);
    if (!program.Started() || !program.WaitForWindow(60000))
    {
        std::printf("baseline %ls: its window did not appear\n", name);
        return false;
    }
    figures.windowSeconds = (GetTickCount() - startTick) / 1000.0;
    figures.peakMB = PeakWorkingSet(program.Process()) / (1024.0 * 1024.0);
    program.PostClick(kClose);
    program.WaitForExit(30000);
    return true;
}

void PrintRatio(const char* what, double value, double baseline, const char* goal)
{
    if (baseline > 0)
        std::printf("%s: %.2f against the baseline (goal %s)\n", what, value / baseline, goal);
}

int Fail(const char* what)
{
    std::printf("\nbenchmark: %s\n", what);
    return 1;
}
}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: benchmark_driver <program> <working folder> <screenshot folder>\n");
        return 2;
    }
    const std::wstring folder = argv[2];
    const std::wstring screenshots = argv[3];
    CreateDirectoryW(screenshots.c_str(), nullptr);

    // The faster of two starts: the first program to show a window in a
    // Wine session may pay for starting Wine's desktop process.
    BaselineFigures trivialWindow = {};
    BaselineFigures secondStart = {};
    if (MeasureBaseline(L"trivial_window.exe", folder, trivialWindow)
        && MeasureBaseline(L"trivial_window.exe", folder, secondStart))
    {
        trivialWindow.windowSeconds = std::min(trivialWindow.windowSeconds, secondStart.windowSeconds);
        std::printf("baseline: a trivial window program shows its window %.2f s after its start\n",
                    trivialWindow.windowSeconds);
    }
    BaselineFigures platform = {};
    if (MeasureBaseline(L"platform_baseline.exe", folder, platform))
        std::printf("baseline: COM, GDI+, common controls and the tests' WMI queries, peak working set %.1f MB\n",
                    platform.peakMB);

    const DWORD startTick = GetTickCount();
    CProgramWindow program(argv[1], L"", folder);
    if (!program.Started())
        return Fail("the program could not be started");
    if (!program.WaitForWindow(60000))
        return Fail("the main window did not appear");
    const DWORD windowMs = GetTickCount() - startTick;
    std::printf("window shown %.2f s after the program started (peak working set then %.1f MB)\n",
                windowMs / 1000.0, PeakWorkingSet(program.Process()) / (1024.0 * 1024.0));
    Screenshot(program, screenshots, L"idle");

    if (!program.Click(kBeginTest))
        return Fail("Begin Test was not handled");
    const int range = static_cast<int>(SendMessageW(GetDlgItem(program.Window(), kProgress), PBM_GETRANGE, FALSE, 0));
    bool runningShot = false;
    const DWORD runStart = GetTickCount();
    for (;;)
    {
        if (program.Visible(kOptimize))
            break;
        if (program.Visible(kBeginTest))
            return Fail("the run stopped before it finished");
        if (WaitForSingleObject(program.Process(), 0) == WAIT_OBJECT_0)
            return Fail("the program ended during the run");
        if (GetTickCount() - runStart > kRunTimeoutMs)
            return Fail("the run did not finish in time");
        const int position = program.ProgressPosition();
        std::printf("\rprogress: %3d of %d (%3d%%)", position, range, range > 0 ? position * 100 / range : 0);
        std::fflush(stdout);
        if (!runningShot && position > 0)
        {
            std::printf("\n");
            runningShot = Screenshot(program, screenshots, L"running");
        }
        Sleep(250);
    }
    const int finalPosition = program.ProgressPosition();
    std::printf("\rprogress: %3d of %d (%3d%%)\n", finalPosition, range, range > 0 ? finalPosition * 100 / range : 0);
    std::printf("tests finished: the window shows %ls\n", program.Text(kPercentage).c_str());
    Screenshot(program, screenshots, L"finished");

    const std::wstring resultFile = folder + L"\\result.xml";
    DeleteFileW(resultFile.c_str());
    if (!program.Click(kOptimize))
        return Fail("Optimize Your PC was not handled");
    const std::string document = ReadFileBytes(resultFile);
    if (document.empty())
        return Fail("Optimize Your PC saved no result.xml");
    std::printf("total score %s of %s, percentage %s; result document %ls\n",
                ElementText(document, "total_scores").c_str(), ElementText(document, "max_scores").c_str(),
                ElementText(document, "percentage").c_str(), resultFile.c_str());

    const double peakMB = PeakWorkingSet(program.Process()) / (1024.0 * 1024.0);
    std::printf("peak working set %.1f MB\n", peakMB);
    PrintRatio("start-to-window time", windowMs / 1000.0, trivialWindow.windowSeconds, "<= 2");
    PrintRatio("peak working set", peakMB, platform.peakMB, "<= 1.15");
    program.PostClick(kClose);
    const int exitCode = program.WaitForExit(30000);
    std::printf("program closed, exit code %d\n", exitCode);
    return exitCode == 1 ? 0 : 1;
}
