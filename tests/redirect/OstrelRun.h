#pragma once
#include <windows.h>
#include <string>

#include "shell/Folders.h"

struct COstrelResult
{
    DWORD exitCode = 0;
    // Everything Ostrel wrote, as UTF-16 text; an odd last byte shows as
    // the marker "<odd byte>".
    std::wstring text;
};

// Runs Ostrel (beside the test program) the way the disk test does: on a
// new console, with its standard output a pipe. commandLine is the child's
// own command line. Ostrel is killed after a minute.
COstrelResult RunOstrel(const std::wstring& commandLine);

// The command line that runs console_writer (beside the test program).
std::wstring WriterCommand(const std::wstring& arguments);
