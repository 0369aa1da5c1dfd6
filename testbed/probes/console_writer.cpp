// Writes to its console in the ways console tools do; the Ostrel tests run
// it under Ostrel and compare what arrives.
//   console_writer printf <n>     n lines "line 0001" .. through printf
//   console_writer writefile <n>  the same lines, one WriteFile each
//   console_writer blankline      "abc", an empty line, "def"
//   console_writer progress       a percentage redrawn in place, then "done"
//   console_writer unicode        a line with non-ASCII characters
//   console_writer stderr         one line on the error output
//   console_writer exit <code>    nothing written, exits with code
//   console_writer nothing        nothing written, exits with 0
//   console_writer stress <n>     n lines "line 000001" .. as fast as it can
//   console_writer redraw <n>     "step 000001" .. redrawn in place n times
#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <cstdlib>
#include <string>

namespace
{
void WriteConsoleText(DWORD stdHandle, const std::wstring& text)
{
    DWORD written = 0;
    WriteConsoleW(GetStdHandle(stdHandle), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void PrintLines(int count)
{
    for (int i = 1; i <= count; ++i)
        std::printf("line %04d\n", i);
    std::fflush(stdout);
}

void WriteFileLines(int count)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    for (int i = 1; i <= count; ++i)
    {
        char line[32];
        int length = std::snprintf(line, sizeof(line), "line %04d\n", i);
        DWORD written = 0;
        WriteFile(out, line, static_cast<DWORD>(length), &written, nullptr);
    }
}

void StressLines(int count)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    for (int i = 1; i <= count; ++i)
    {
        char line[32];
        int length = std::snprintf(line, sizeof(line), "line %06d\n", i);
        DWORD written = 0;
        WriteFile(out, line, static_cast<DWORD>(length), &written, nullptr);
    }
}

void RedrawSteps(int count)
{
    for (int i = 1; i <= count; ++i)
    {
        wchar_t line[32];
        std::swprintf(line, 32, L"\rstep %06d", i);
        WriteConsoleText(STD_OUTPUT_HANDLE, line);
    }
    WriteConsoleText(STD_OUTPUT_HANDLE, L"\n");
}

void RedrawProgress()
{
    for (int percent = 0; percent <= 100; percent += 25)
    {
        wchar_t line[32];
        std::swprintf(line, 32, L"\rWorking: %3d%%", percent);
        WriteConsoleText(STD_OUTPUT_HANDLE, line);
        Sleep(700);
    }
    WriteConsoleText(STD_OUTPUT_HANDLE, L"\ndone\n");
}
}

int wmain(int argc, wchar_t** argv)
{
    std::wstring mode = argc > 1 ? argv[1] : L"";
    int number = argc > 2 ? _wtoi(argv[2]) : 0;
    if (mode == L"printf")
        PrintLines(number);
    else if (mode == L"writefile")
        WriteFileLines(number);
    else if (mode == L"blankline")
        WriteConsoleText(STD_OUTPUT_HANDLE, L"abc\n\ndef\n");
    else if (mode == L"progress")
        RedrawProgress();
    else if (mode == L"unicode")
        WriteConsoleText(STD_OUTPUT_HANDLE, L"Gr\u00fc\u00dfe \u00e4 \u20ac 5\n");
    else if (mode == L"stderr")
        WriteConsoleText(STD_ERROR_HANDLE, L"on stderr\n");
    else if (mode == L"stress")
        StressLines(number);
    else if (mode == L"redraw")
        RedrawSteps(number);
    else if (mode == L"exit")
        return number;
    else if (mode != L"nothing")
        return 100;
    return 0;
}
