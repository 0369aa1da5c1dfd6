#pragma once
#include <string>

// Reading the system defragmenter's console output.

// The fragmentation percentage from an analysis report. The rules follow the
// report forms of Windows XP, Vista and 7; windows7 tries the Windows 7 form
// first. False when no rule matches or the matching rule's figure is no
// number from 0 to 100.
bool ParseFragmentation(const std::wstring& report, bool windows7, double& percent);

// The progress shown so far: the up to three characters before the last "%"
// of the output, read as a whole number (so ": 5%" reads as 0). -1 when the
// output holds no "%" or the number is outside 0..100.
int ParseProgress(const std::wstring& output);
