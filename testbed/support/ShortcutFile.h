#pragma once
#include <string>

// Saves a shell shortcut to the target; needs COM on the calling thread.
bool CreateShortcut(const std::wstring& link, const std::wstring& target);
