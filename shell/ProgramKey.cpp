#include "shell/ProgramKey.h"

const wchar_t kProgramKeyPath[] = L"SOFTWARE\\Tessarin";
const wchar_t kRunAtStartUpValue[] = L"RunAtStartUp";

bool OpenProgramKey(CRegistryKey& key)
{
    return key.Open(HKEY_LOCAL_MACHINE, kProgramKeyPath, kProgramKeyAccess);
}

bool HasAdminRights()
{
    CRegistryKey key;
    return OpenProgramKey(key) || GetLastError() != ERROR_ACCESS_DENIED;
}
