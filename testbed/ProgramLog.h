#pragma once
#include <string>

// The text of the program log "tessarin.log" as it is on disk, read while
// the program may still be writing to it.
std::wstring ReadProgramLog();
