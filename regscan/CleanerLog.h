#pragma once
#include <string>
#include <vector>

// The logs of the maker's registry cleaner tell whether it has just
// repaired this computer: its newest log ends with a successful repair.

// "<roaming application data>\Quorvane\VLMX\Registry Kelvador\", with the
// trailing backslash; empty when the application data folder is unknown.
std::wstring CleanerLogFolder();

// The rank of a log named "log_a-b-c...": c * 100 + a * 10 + b. Numbers the
// name does not supply count as 0.
long long CleanerLogRank(const std::wstring& name);

// The place of the newest log in the list (the first of equal rank); 0 for
// an empty list.
size_t NewestCleanerLog(const std::vector<std::wstring>& names);

// The file as UTF-16 text up to its first NUL, or up to its end when it has
// none (an odd last byte is dropped). False when it cannot be read.
bool ReadCleanerLog(const std::wstring& path, std::wstring& text);

// True when the last "Successfully Fixed" comes after the last "Invalid
// Entry Found"; a phrase that does not occur stands at 0.
bool EndsWithRepair(const std::wstring& text);

// The whole check on the "*.log" files of the folder (ending with a
// backslash): false when there is none or the newest cannot be read.
bool CleanerLogsShowRepair(const std::wstring& folder);
