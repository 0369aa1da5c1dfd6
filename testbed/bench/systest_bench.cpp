// Times each of the system test's ten registry scans and the whole system
// test on the prefix as it is, then again with broken entries planted in
// the registry, to show how the cost grows with the registry's size.
// Prints figures only; the planted entries are removed at the end.
#include <windows.h>

#include <cstdio>
#include <string>

#include "regscan/RegistryScaner.h"
#include "regscan/ScanTypes.h"
#include "regscan/SysResourcesTest.h"
#include "base/Folders.h"
#include "testbed/support/BrokenEntries.h"
#include "testbed/support/Stopwatch.h"

using namespace RegistryKelvadorLib;

namespace
{
const int kPlantedEntries = 10000;

struct NamedScan
{
    int type;
    const char* label;
};

// The system test's order.
const NamedScan kScans[] = {
    {ScanTypeCom, "Com"},           {ScanTypeUninstall, "Uninstall"}, {ScanTypeFonts, "Fonts"},
    {ScanTypeSharedDll, "SharedDll"}, {ScanTypeWinStartup, "Startup"}, {ScanTypeFileRefs, "FileRef"},
    {ScanTypeShortcuts, "Shortcuts"}, {ScanTypeHelpFiles, "Help"},   {ScanTypeAppPath, "AppPath"},
    {ScanTypeFileAssoc, "FileAssoc"},
};

void TimeScans(CRegistryScaner& scanner)
{
    double total = 0;
    for (const NamedScan& scan : kScans)
    {
        CRegErrorContainer errors;
        LARGE_INTEGER from;
        QueryPerformanceCounter(&from);
        scanner.AddScan(scan.type);
        scanner.Scan(&errors, nullptr);
        scanner.ClearScans();
        const double seconds = SecondsSince(from);
        total += seconds;
        std::printf("  %-10s %8.3f s %7u errors\n", scan.label, seconds, static_cast<unsigned>(errors.GetTotalCount()));
    }
    std::printf("  %-10s %8.3f s\n", "all scans", total);
}

void TimeSystemTest(CRegistryScaner& scanner)
{
    CSysResoucesConsumed test(&scanner);
    LARGE_INTEGER from;
    QueryPerformanceCounter(&from);
    test.Run();
    const double seconds = SecondsSince(from);
    std::printf("  system test %7.3f s: %d registry values, %u processes, %d startup programs, disk %.1f %%, "
                "%u registry errors\n",
                seconds, test.GetTotalRegistryEntries(), test.GetAvgRunningProcesses(), test.GetStartupPrograms(),
                test.GetOsDiskFill(), static_cast<unsigned>(test.GetErrors().GetTotalCount()));
}

void Measure(CRegistryScaner& scanner, const char* title)
{
    std::printf("%s\n", title);
    TimeScans(scanner);
    TimeSystemTest(scanner);
    std::fflush(stdout);
}
}

int wmain()
{
    CRegistryScaner scanner;
    scanner.SetLog(GetAppDataFolder(), L"RegScaner.log");
    Measure(scanner, "registry scans on the prefix as it is");
    CPlantedBrokenEntries planted(kPlantedEntries);
    char title[64];
    std::snprintf(title, sizeof(title), "with %d planted broken entries", kPlantedEntries);
    Measure(scanner, title);
    return 0;
}
