#pragma once
#include <windows.h>
#include <string>

struct COstrelResult
{
    DWORD exitCode = 0;
    // Everything Ostrel wrote, as UTF-16 text; an odd last byte shows as
    // the marker "<odd byte>".
    std::wstring text;
};

// Ostrel of one architecture ("x64", "x86") as the build leaves it: in a
// folder of its own beside the program's folder.
std::wstring OstrelBuild(const wchar_t* architecture);

// Runs Ostrel the way the disk test does: on a new console, with its
// standard output a pipe. commandLine is the child's own command line.
// Ostrel is killed when it runs longer than timeoutMs; 0xDEAD is the exit
// code when it cannot be started.
COstrelResult RunOstrel(const std::wstring& ostrelPath, const std::wstring& commandLine, DWORD timeoutMs = 60000);

// The command line that runs console_writer (beside the program).
std::wstring WriterCommand(const std::wstring& arguments);
