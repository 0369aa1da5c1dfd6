#include "shell/ProgramKey.h"

const wchar_t kProgramKeyPath[] = L"SOFTWARE\\Tessarin";
const wchar_t kRunAtStartUpValue[] = L"RunAtStartUp";

bool OpenProgramKey(CRegistryKey& key)
{
    const LONG result = key.Open(HKEY_LOCAL_MACHINE, kProgramKeyPath, kProgramKeyAccess);
    SetLastError(static_cast<DWORD>(result));
    return result == ERROR_SUCCESS;
}

bool HasAdminRights()
{
    CRegistryKey key;
    return OpenProgramKey(key) || GetLastError() != ERROR_ACCESS_DENIED;
}
