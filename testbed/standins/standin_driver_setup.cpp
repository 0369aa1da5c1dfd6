// Installs and starts the stand-in port-I/O driver with its default
// machine, or removes it, for the scripts that run the benchmark:
//   standin_driver_setup start <absolute path of zxq.sys>
//   standin_driver_setup remove
#include <windows.h>
#include <cstdio>
#include <string>

#include "testbed/support/StandInDriver.h"

int wmain(int argc, wchar_t** argv)
{
    const std::wstring command = argc > 1 ? argv[1] : L"";
    std::wstring error;
    bool done = false;
    if (command == L"start" && argc == 3)
        done = StartStandInDriver(argv[2], nullptr, error);
    else if (command == L"remove" && argc == 2)
        done = RemoveStandInDriver(error);
    else
        error = L"usage: standin_driver_setup start <path of zxq.sys> | remove";
    if (!done)
        std::fprintf(stderr, "%ls\n", error.c_str());
    return done ? 0 : 1;
}
