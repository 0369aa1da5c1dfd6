// Measures the hard-disk test's write transfer rate on one drive the way the
// test does (ten timed trials with the test's probe) and prints it in MB/s
// (1 MB = 1048576 bytes):
//   disk_bench <drive letter> [trial size in MB]
#include <windows.h>
#include <cstdio>
#include <cwchar>

#include "disk/DiskSpeedProbe.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: disk_bench <drive letter> [trial size in MB]\n");
        return 2;
    }
    DWORD sizeMB = argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 100;
    ULONGLONG totalMicroseconds = 0;
    double totalMB = 0;
    for (int trial = 0; trial < 10; ++trial)
    {
        CDiskSpeedProbe probe(argv[1], sizeMB);
        ULONGLONG microseconds = 0;
        double megabytes = 0;
        probe.Measure(microseconds, megabytes);
        totalMicroseconds += microseconds;
        totalMB += megabytes;
    }
    if (totalMicroseconds == 0)
        return 1;
    std::printf("%.1f\n", totalMB * 1000000.0 / totalMicroseconds);
    return 0;
}
