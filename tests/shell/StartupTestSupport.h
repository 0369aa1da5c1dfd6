#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/shell/LanguageTestSupport.h"

// The program's key HKLM\SOFTWARE\Tessarin with its "RunAtStartUp" value as
// a test needs them: the key is created when missing, and the value (of any
// type) is put back, or the key removed again, when the object goes.
class CRunAtStartUpScratch
{
public:
    CRunAtStartUpScratch();
    ~CRunAtStartUpScratch();
    CRunAtStartUpScratch(const CRunAtStartUpScratch&) = delete;
    CRunAtStartUpScratch& operator=(const CRunAtStartUpScratch&) = delete;

    void SetDword(DWORD value) const { Set(REG_DWORD, &value, sizeof(value)); }
    void Set(DWORD type, const void* data, DWORD bytes) const;
    void Remove() const;
    // "<missing>", or the type and the value of a REG_DWORD ("4:1").
    std::wstring Describe() const;

private:
    bool m_createdKey = false;
    bool m_hadValue = false;
    DWORD m_type = 0;
    std::vector<BYTE> m_data;
};

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
