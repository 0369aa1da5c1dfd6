// Times each of the system test's ten registry scans and the whole system
// test on the prefix as it is, then with the hostile entries of the input
// campaign planted (and the ratio of the two system test times), then with
// broken entries planted in the registry, to show how the cost grows with
// the registry's size.
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
#include "testbed/fuzz/RegistryPlan.h"

using namespace RegistryKelvadorLib;

namespace
{
const int kPlantedEntries = 10000;
const uint64_t kHostilePlans = 20;

void TimeScans(CRegistryScaner& scanner)
{
    double total = 0;
    for (const SystemScan& scan : kSystemScans)
    {
        CRegErrorContainer errors;
        LARGE_INTEGER from;
        QueryPerformanceCounter(&from);
        scanner.AddScan(scan.type);
        scanner.Scan(&errors, nullptr);
        scanner.ClearScans();
        const double seconds = SecondsSince(from);
        total += seconds;
        std::printf("  %-10ls %8.3f s %7u errors\n", scan.label, seconds, static_cast<unsigned>(errors.GetTotalCount()));
    }
    std::printf("  %-10s %8.3f s\n", "all scans", total);
}

double TimeSystemTest(CRegistryScaner& scanner)
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
    return seconds;
}

double Measure(CRegistryScaner& scanner, const char* title)
{
    std::printf("%s\n", title);
    TimeScans(scanner);
    const double seconds = TimeSystemTest(scanner);
    std::fflush(stdout);
    return seconds;
}

// The hostile-input campaign's registry contents: the plans of its first
// cases (fixed seed) all planted at once.
RegistryPlan HostilePlan()
{
    RegistryPlan plan;
    for (uint64_t index = 0; index < kHostilePlans; ++index)
    {
        CFuzzRandom random(CaseSeed(19, "system_test", index));
        for (RegistryPlanting& planting : GenerateRegistryPlan(random, -1))
            plan.push_back(std::move(planting));
    }
    return plan;
}
}

int wmain()
{
    CRegistryScaner scanner;
    scanner.SetLog(GetAppDataFolder(), L"RegScaner.log");
    RemoveFuzzLeftovers();
    const double clean = Measure(scanner, "registry scans on the prefix as it is");
    SetLongEnvironmentVariable();
    RegistryPlan hostile = HostilePlan();
    char hostileTitle[96];
    std::snprintf(hostileTitle, sizeof(hostileTitle), "with %zu hostile entries of the input campaign",
                  PlantPlan(hostile));
    const double onHostile = Measure(scanner, hostileTitle);
    RemovePlan(hostile);
    std::printf("system test on the hostile registry: %.3f s against %.3f s clean, ratio %.2f\n", onHostile, clean,
                clean > 0 ? onHostile / clean : 0.0);
    CPlantedBrokenEntries planted(kPlantedEntries);
    char title[64];
    std::snprintf(title, sizeof(title), "with %d planted broken entries", kPlantedEntries);
    Measure(scanner, title);
    return 0;
}
