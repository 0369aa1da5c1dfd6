// Repeats the CPU test's speed phase (30 timed work units per logical
// processor, full length) and prints each MIPS figure, their mean and their
// coefficient of variation. Meant for an otherwise idle machine; prints
// figures only.
#include <windows.h>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/cpu/CpuTester.h"
#include "hardware/HardwareInfo.h"

namespace
{
const int kRuns = 5;
}

int wmain()
{
    CHardwareInfo inventory;
    CpuTestSettings settings;
    // No load samples: the speed phase alone.
    settings.loadSamples = 0;
    CCpuTeser test(inventory, settings);

    std::printf("speed phase, %d logical processors, %lu iterations per unit\n", settings.processorCount,
                settings.loopLength);
    std::vector<double> figures;
    for (int run = 1; run <= kRuns; ++run)
    {
        const DWORD start = GetTickCount();
        test.Run();
        figures.push_back(test.GetMips());
        std::printf("run %d: %.0f MIPS (%.1f s)\n", run, test.GetMips(), (GetTickCount() - start) / 1000.0);
    }

    double sum = 0;
    for (double figure : figures)
        sum += figure;
    const double mean = sum / figures.size();
    double squares = 0;
    for (double figure : figures)
        squares += (figure - mean) * (figure - mean);
    const double deviation = std::sqrt(squares / (figures.size() - 1));
    std::printf("mean: %.0f MIPS, coefficient of variation: %.2f %%\n", mean, mean ? deviation / mean * 100 : 0.0);
    return 0;
}
