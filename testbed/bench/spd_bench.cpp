// Times the port I/O layer through the stand-in driver (zxq_standin.sys
// beside the program, installed for the run and removed afterwards): single
// driver requests, one PCI scan for the SMBus controller of an emulated PCH,
// one whole SPD image, a DDR4 image of two pages, and the whole-bus scan of a
// machine without a controller.
// Prints figures only.
#include <windows.h>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "hardware/HardwareErrors.h"
#include "hardware/IoPort.h"
#include "hardware/SPD.h"
#include "base/Folders.h"
#include "testbed/support/StandInDriver.h"
#include "testbed/standins/standin_driver/Machine.h"

namespace
{
const int kRequests = 2000;

std::wstring StandInDriverPath()
{
    return GetModuleFolder(nullptr) + L"\\zxq_standin.sys";
}

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(end.QuadPart - start.QuadPart) / frequency.QuadPart;
}

template <class Work>
double Time(Work work)
{
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceCounter(&start);
    work();
    QueryPerformanceCounter(&end);
    return Seconds(start, end);
}

void Measure()
{
    CIoPort configAddress(0xCF8, 4);
    const double requestSeconds = Time([&configAddress] {
        DWORD value = 0;
        for (int i = 0; i < kRequests; ++i)
            configAddress.Read(value);
    });
    std::printf("driver requests: %.0f per second (%.3f ms each)\n", kRequests / requestSeconds,
                requestSeconds * 1000 / kRequests);

    CSMBus bus(0x50);
    const double scanSeconds = Time([&bus] { bus.FindBaseAddress(); });
    std::printf("controller scan (PCH at 00:1f.3, base 0x%lX): %.1f ms\n", bus.GetBaseAddress(), scanSeconds * 1000);

    WORD frequency = 0;
    const double imageSeconds = Time([&frequency] { frequency = CSPD(0).GetFrequency(); });
    std::printf("SPD image read with its scan (%u MHz module): %.1f ms\n", frequency, imageSeconds * 1000);

    // DDR4: two pages of 256 bytes and the page selects around the second.
    CSMBusHost host;
    host.GetBaseAddress();
    const double ddr4Seconds = Time([&frequency, &host] { frequency = CSPD(1, &host).GetFrequency(); });
    std::printf("DDR4 SPD image read, 512 bytes (%u MHz module): %.1f ms\n", frequency, ddr4Seconds * 1000);
}

// The whole walk a machine without an SMBus controller costs, once per
// memory-test run.
bool MeasureWalkWithoutController(std::wstring& error)
{
    StandInMachine machine;
    machine.machine = L"none";
    if (!StartStandInDriver(StandInDriverPath(), &machine, error))
        return false;
    const double walkSeconds = Time([] {
        try
        {
            CSMBusHost().GetBaseAddress();
        }
        catch (const ESMBusBaseAddressGettingError&)
        {
        }
    });
    std::printf("controller scan without a controller (whole bus): %.1f ms\n", walkSeconds * 1000);
    return true;
}
}

int wmain()
{
    StandInMachine machine;
    machine.machine = L"pch";
    machine.slots = {MODULE_DDR2_800_2GB, MODULE_DDR4_2400_8GB};
    std::wstring error;
    if (!StartStandInDriver(StandInDriverPath(), &machine, error))
    {
        std::fprintf(stderr, "cannot start the stand-in driver: %ls\n", error.c_str());
        return 1;
    }
    int exitCode = 0;
    try
    {
        Measure();
        if (!MeasureWalkWithoutController(error))
        {
            std::fprintf(stderr, "cannot restart the stand-in driver: %ls\n", error.c_str());
            exitCode = 1;
        }
    }
    catch (const std::runtime_error& failure)
    {
        std::fprintf(stderr, "port I/O failed: %s\n", failure.what());
        exitCode = 1;
    }
    RemoveStandInDriver(error);
    return exitCode;
}
