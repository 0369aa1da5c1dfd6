#pragma once
#include <windows.h>
#include <string>

// Folder and version queries shared by the shell. Each returns an empty text
// when Windows cannot answer.

// The product's per-user data folder "<roaming app data>\Quorvane\Zentrix",
// created again on every call if it is missing; no trailing backslash.
std::wstring GetAppDataFolder();

// Full path of a loaded module (a DLL, or the running program for null).
std::wstring GetModulePath(HMODULE module);
// Folder of a loaded module, without trailing backslash.
std::wstring GetModuleFolder(HMODULE module);

// The same for the running program.
std::wstring GetProgramPath();
std::wstring GetProgramFolder();

std::wstring GetCurrentFolder();
std::wstring GetSystemFolder();

// "major.minor.build.revision" of the file's fixed version information;
// empty when the file has no version resource.
std::wstring GetFileVersionText(const std::wstring& path);

// Creates the folder together with every missing parent. True when the
// folder exists afterwards.
bool CreateFolderPath(const std::wstring& folder);
