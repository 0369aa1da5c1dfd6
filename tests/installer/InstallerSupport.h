#pragma once
#include <windows.h>

#include <string>

#include "engine/ScopedHandle.h"
#include "testbed/WindowDriver.h"

// The installers under test (beside this program): the shipped 32-bit
// programs with the test bed's stand-in driver, of the project's version and
// of the next patch version.
std::wstring CurrentInstaller();
std::wstring NextInstaller();

// A folder of the shell (CSIDL_...).
std::wstring ShellFolder(int csidl);
// Where the installer puts the program by default: the 32-bit Program Files.
std::wstring InstallFolder();

// Keys of the 32-bit registry view, which a 32-bit installer and program
// write, seen from this 64-bit program.
extern const wchar_t kProgramKey[];
extern const wchar_t kEntryKey[];
extern const wchar_t kUninstallKey[];
extern const wchar_t kRunOnceKey[];

// Starts the command line, with the token (none: this process's). The
// process, empty when it did not start.
CScopedHandle StartProcess(const std::wstring& commandLine, DWORD* processId = nullptr, HANDLE token = nullptr);
// Starts the command line and waits for its end: the exit code, or -1 when
// it did not start or end in time.
DWORD RunAndWait(const std::wstring& commandLine, DWORD timeoutMs = 120000);

// The same, with a token whose Administrators group is disabled, as for a
// user without administrator rights.
DWORD RunWithoutAdminRights(const std::wstring& commandLine, DWORD timeoutMs = 120000);

bool KeyExists(const std::wstring& path);
bool ValueExists(const std::wstring& key, const std::wstring& name);
// A string value under HKLM; empty when it is missing.
std::wstring ReadString(const std::wstring& key, const std::wstring& name);
// A DWORD value under HKLM; `missing` when it is missing.
DWORD ReadDword(const std::wstring& key, const std::wstring& name, DWORD missing);
bool FileExists(const std::wstring& path);

// True when the Task Scheduler knows the task in its root folder.
bool LogonTaskExists();
// True when the service control manager knows the service.
bool ServiceExists(const wchar_t* name);
// What the uninstall-entries scan of the 32-bit program finds, one
// "key<TAB>problem code" line each, lower case.
std::wstring UninstallScanFindings();
