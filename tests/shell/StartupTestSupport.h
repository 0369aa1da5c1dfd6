#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/shell/LanguageTestSupport.h"

// "RunAtStartUp" as the program reads it: the REG_DWORD as text, or
// "<none>" when the key or value is missing or of another type.
std::wstring RunAtStartUpText();
// Removes the mark of a restart asked for in this Windows session.
void ForgetRestartAsked();

// The driver service "zxq" as the service manager has it.
struct DriverServiceConfig
{
    bool exists = false;
    DWORD type = 0;
    DWORD start = 0;
    DWORD errorControl = 0;
    std::wstring imagePath;
    std::wstring displayName;
};
DriverServiceConfig QueryDriverService();
// Gives the service "zxq" another start type and image path, as an earlier
// installation may have left it.
bool ChangeDriverService(DWORD startType, const std::wstring& imagePath);

// While it lives, nobody may set values in the program's key (a deny entry
// for everyone in its access list), as for a user without administrator
// rights; the old access list is put back when the object goes.
class CProgramKeyDenied
{
public:
    CProgramKeyDenied();
    ~CProgramKeyDenied();
    CProgramKeyDenied(const CProgramKeyDenied&) = delete;
    CProgramKeyDenied& operator=(const CProgramKeyDenied&) = delete;

    bool IsDenied() const { return m_denied; }

private:
    std::vector<BYTE> m_oldSecurity;
    bool m_denied = false;
};

// The Task Scheduler 2.0 root folder, each call in COM of its own.
bool RegisterRootTask(const std::wstring& name);
bool RootTaskExists(const std::wstring& name);
void DeleteRootTask(const std::wstring& name);

// English as the current language of a program started from the folder,
// so that its start shows no language warning; the language setting is put
// back when the object goes.
class CEnglishBeside
{
public:
    explicit CEnglishBeside(const std::wstring& folder);

private:
    CSavedRegistryValue m_language;
};
