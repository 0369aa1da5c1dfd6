#pragma once
#include <string>

// Reading the system defragmenter's console output.

// The defragmenter's command line and report forms by Windows version.
enum class DefragForm
{
    XpOrVista,      // "-a"; the XP report, then the Vista report
    Windows7,       // "/u /a"; the Windows 7 report first, then as XP/Vista
    Windows8OrLater // the drive optimizer: "/a /u"; its own report only
};

// The defragmenter's arguments for analysing the drive (its letter without
// colon), e.g. "C: -a".
std::wstring DefragArguments(const std::wstring& drive, DefragForm form);

// The fragmentation percentage from an analysis report in the given form.
// False when no rule matches or the matching rule's figure is no number
// from 0 to 100.
bool ParseFragmentation(const std::wstring& report, DefragForm form, double& percent);

// The progress shown so far: the up to three characters before the last "%"
// of the output, read as a whole number (so ": 5%" reads as 0). -1 when the
// output holds no "%" or the number is outside 0..100.
int ParseProgress(const std::wstring& output);
