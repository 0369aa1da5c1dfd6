#pragma once
#include <windows.h>
#include <string>

// The DLL that carries both Ostrel builds as "EXE" resources, loaded once.
HMODULE OstrelHost();
std::wstring OstrelHostFolder();

// Sets an environment variable of this process (which Ostrel and the
// defragmenter inherit) and restores its old state at the end of a scope.
class CScopedEnvironment
{
public:
    CScopedEnvironment(const std::wstring& name, const std::wstring& value);
    ~CScopedEnvironment();
    CScopedEnvironment(const CScopedEnvironment&) = delete;
    CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

private:
    std::wstring m_name;
    std::wstring m_old;
    bool m_hadValue;
};

// Makes Wine report a Windows version ("winxp64", "vista", "win7") to every
// program with the given file name until the end of a scope.
class CWineVersionFor
{
public:
    CWineVersionFor(const std::wstring& programName, const std::wstring& version);
    ~CWineVersionFor();
    CWineVersionFor(const CWineVersionFor&) = delete;
    CWineVersionFor& operator=(const CWineVersionFor&) = delete;

private:
    std::wstring m_key;
};

// How many running processes have the given executable name.
int CountProcessesNamed(const wchar_t* name);
