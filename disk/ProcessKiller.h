#pragma once
#include <windows.h>

// Ending processes by executable name (compared without regard to case).

// Terminates a process and, level by level, every process it started and
// they started in turn. Each process has ended before its children are
// looked up, so none of them can start another one that the walk misses.
void TerminateProcessTree(HANDLE root, DWORD rootId);

// Terminates the first process in the system that has one of the names.
bool TerminateFirstNamed(const wchar_t* const* names, size_t count);
