#pragma once
#include <windows.h>

// Seconds since a reading of the performance counter, for the benchmarks.
inline double SecondsSince(const LARGE_INTEGER& from)
{
    LARGE_INTEGER to, frequency;
    QueryPerformanceCounter(&to);
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}
