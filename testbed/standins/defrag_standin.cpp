// Stands in for the system defragmenter ("defrag.exe") in analysis mode.
// Accepts "X: -a" where Windows reports 5.x or 6.0, "X: /u /a" on 6.1, and
// on 6.2 and later, as the drive optimizer of Windows 8 to 11 does, the
// volume followed by "/a" and any of "/u" (progress) and "/h" in any order
// and case. It draws a progress line in place on its console and writes the
// analysis report in the form of the Windows version it sees.
//
// The environment steers it:
//   TESSARIN_DEFRAG_FRAGMENTATION  the percentage to report (default 3)
//   TESSARIN_DEFRAG_FAIL           drive letters whose analysis fails
//   TESSARIN_DEFRAG_MODE           "hang": never finishes until killed;
//                                  "burst": 300 fast lines before the report
//   TESSARIN_DEFRAG_REPORT         a file of UTF-16LE text written as the
//                                  whole output instead (the hostile-input
//                                  campaign's generated reports)
#include <windows.h>
#include <cwchar>
#include <cwctype>
#include <string>

namespace
{
enum class ReportForm { Xp, Vista, Seven, Optimizer };

std::wstring Environment(const wchar_t* name, const wchar_t* fallback)
{
    wchar_t value[256];
    DWORD length = GetEnvironmentVariableW(name, value, 256);
    return length > 0 && length < 256 ? std::wstring(value, length) : std::wstring(fallback);
}

ReportForm SeenForm()
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExW(&version);
    if (version.dwMajorVersion < 6)
        return ReportForm::Xp;
    if (version.dwMajorVersion == 6 && version.dwMinorVersion == 0)
        return ReportForm::Vista;
    if (version.dwMajorVersion == 6 && version.dwMinorVersion == 1)
        return ReportForm::Seven;
    return ReportForm::Optimizer;
}

void Write(const std::wstring& text)
{
    DWORD written = 0;
    WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::wstring Format(const wchar_t* format, double a, double b = 0, double c = 0)
{
    wchar_t text[256];
    std::swprintf(text, 256, format, a, b, c);
    return text;
}

void DrawProgress(ReportForm form, int upTo)
{
    for (int percent = 0; percent <= upTo; percent += 20)
    {
        if (form == ReportForm::Optimizer)
            Write(Format(L"\r\tAnalysis:  %.0f%% complete.", percent));
        else
            Write(form == ReportForm::Seven ? Format(L"\r\tAnalysis: %.0f%% complete...", percent)
                                            : Format(L"\rAnalyzing: %.0f%%", percent));
        Sleep(100);
    }
    Write(L"\n");
}

void WriteReport(ReportForm form, wchar_t drive, double fragmentation)
{
    wchar_t root[] = {drive, L':', L'\\', 0};
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(root, &available, &total, &free))
        total.QuadPart = free.QuadPart = 0;
    double totalGB = total.QuadPart / 1073741824.0;
    double freeGB = free.QuadPart / 1073741824.0;
    std::wstring volume = std::wstring(1, drive) + L":";

    switch (form)
    {
    case ReportForm::Xp:
        Write(L"\nAnalysis Report\n");
        Write(Format(L"    %.0f GB Total,  %.2f GB", totalGB, freeGB) +
              Format(L" (%.0f%%) Free,  %g%% Fragmented", totalGB > 0 ? freeGB * 100 / totalGB : 0, fragmentation) +
              Format(L" (%g%% file fragmentation)\n\n", fragmentation * 2 > 100 ? 100 : fragmentation * 2));
        Write(L"You do not need to defragment this volume.\n");
        break;
    case ReportForm::Vista:
        Write(L"Analysis report for volume " + volume + L"\n\n");
        Write(Format(L"    Volume size                 = %.2f GB\n", totalGB));
        Write(Format(L"    Free space                  = %.2f GB\n", freeGB));
        Write(Format(L"    Largest free space extent   = %.2f GB\n", freeGB / 2));
        Write(Format(L"    Percent file fragmentation  = %g %%\n\n", fragmentation));
        Write(L"    Note: On NTFS volumes, file fragments larger than 64MB are not included.\n");
        break;
    case ReportForm::Seven:
        Write(L"The operation completed successfully.\n\nPost Defragmentation Report:\n\n");
        Write(L"\tVolume Information:\n");
        Write(Format(L"\t\tVolume size                 = %.2f GB\n", totalGB));
        Write(Format(L"\t\tFree space                  = %.2f GB\n", freeGB));
        Write(Format(L"\t\tTotal fragmented space      = %g%%\n", fragmentation));
        Write(Format(L"\t\tLargest free space size     = %.2f GB\n\n", freeGB / 2));
        Write(L"\tNote: File fragments larger than 64MB are not included.\n");
        break;
    case ReportForm::Optimizer:
        Write(L"\nThe operation completed successfully.\n\nPost Defragmentation Report:\n\n\n");
        Write(L"Volume Information:\n");
        Write(Format(L"\tVolume size                 = %.2f GB\n", totalGB));
        Write(Format(L"\tFree space                  = %.2f GB\n", freeGB));
        Write(Format(L"\tTotal fragmented space      = %g%%\n", fragmentation));
        Write(Format(L"\tLargest free space size     = %.2f GB\n\n", freeGB / 2));
        Write(L"Note: File fragments larger than 64MB are not included in the fragmentation statistics.\n\n");
        Write(L"\tYou do not need to defragment this volume.\n");
        break;
    }
}

// Writes the file's text to the console in pieces the console takes.
bool WriteReportFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    wchar_t piece[4096];
    DWORD read = 0;
    while (ReadFile(file, piece, sizeof(piece), &read, nullptr) && read >= sizeof(wchar_t))
        Write(std::wstring(piece, read / sizeof(wchar_t)));
    CloseHandle(file);
    return true;
}

// The drive optimizer's options: "/a" once, "/u" and "/h" at most once each.
bool OptimizerOptionsValid(int argc, wchar_t** argv, bool& progress)
{
    const wchar_t* const known[] = {L"/a", L"/u", L"/h"};
    bool seen[3] = {};
    for (int i = 2; i < argc; ++i)
    {
        int option = 0;
        while (option < 3 && _wcsicmp(argv[i], known[option]) != 0)
            ++option;
        if (option == 3 || seen[option])
            return false;
        seen[option] = true;
    }
    progress = seen[1];
    return seen[0];
}

bool OlderOptionsValid(ReportForm form, int argc, wchar_t** argv)
{
    std::wstring arguments;
    for (int i = 2; i < argc; ++i)
        arguments += (i > 2 ? L" " : L"") + std::wstring(argv[i]);
    return arguments == (form == ReportForm::Seven ? L"/u /a" : L"-a");
}

const wchar_t* Usage(ReportForm form)
{
    switch (form)
    {
    case ReportForm::Optimizer:
        return L"defrag <volumes> /a [/h] [/u]";
    case ReportForm::Seven:
        return L"defrag <volume> /u /a";
    default:
        return L"defrag <volume> -a";
    }
}
}

int wmain(int argc, wchar_t** argv)
{
    const std::wstring reportFile = Environment(L"TESSARIN_DEFRAG_REPORT", L"");
    if (!reportFile.empty())
        return WriteReportFile(reportFile) ? 0 : 2;
    ReportForm form = SeenForm();
    Write(form == ReportForm::Optimizer ? L"Microsoft Drive Optimizer\nCopyright (c) Stand-in Software.\n"
                                        : L"Windows Disk Defragmenter\nCopyright (c) Stand-in Software. All rights reserved.\n");

    bool driveValid = argc > 1 && std::wcslen(argv[1]) == 2 && argv[1][1] == L':' && std::iswalpha(argv[1][0]);
    bool progress = form != ReportForm::Optimizer;
    bool optionsValid = form == ReportForm::Optimizer ? OptimizerOptionsValid(argc, argv, progress)
                                                      : OlderOptionsValid(form, argc, argv);
    if (!driveValid || !optionsValid)
    {
        Write(std::wstring(L"Invalid parameter. Usage: ") + Usage(form) + L"\n");
        return 87;
    }
    wchar_t drive = static_cast<wchar_t>(std::towupper(argv[1][0]));

    if (form == ReportForm::Seven || form == ReportForm::Optimizer)
        Write(L"\nInvoking analysis on (" + std::wstring(1, drive) + L":)...\n\n");
    std::wstring mode = Environment(L"TESSARIN_DEFRAG_MODE", L"");
    if (mode == L"hang")
    {
        DrawProgress(form, 40);
        Sleep(INFINITE);
    }
    if (mode == L"burst")
    {
        for (int i = 1; i <= 300; ++i)
            Write(Format(L"Examining fragment %.0f\n", i));
    }
    if (Environment(L"TESSARIN_DEFRAG_FAIL", L"").find(drive) != std::wstring::npos)
    {
        Write(L"The volume " + std::wstring(1, drive) + L": could not be analysed.\n");
        return 1;
    }
    if (progress)
        DrawProgress(form, 100);
    WriteReport(form, drive, _wtof(Environment(L"TESSARIN_DEFRAG_FRAGMENTATION", L"3").c_str()));
    return 0;
}
