#pragma once
#include <windows.h>

// Ending processes by executable name (compared without regard to case).

// Terminates, below the process root, the first process named name on each
// branch: children are looked at in snapshot order, a match ends the walk of
// its level, any other child has its own children looked at. True when one
// was terminated.
bool TerminateDescendantNamed(DWORD root, const wchar_t* name);

// Terminates the first process in the system that has one of the names.
bool TerminateFirstNamed(const wchar_t* const* names, size_t count);
