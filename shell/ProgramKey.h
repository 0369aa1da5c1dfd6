#pragma once
#include "base/RegistryKey.h"

// HKEY_LOCAL_MACHINE\SOFTWARE\Tessarin, where the installer leaves its flags.
// The program opens it, never creates it, with read control plus query, set,
// create-subkey, enumerate and notify rights.
extern const wchar_t kProgramKeyPath[];
const REGSAM kProgramKeyAccess = 0x2001F;

// REG_DWORD, non-zero while an installation waits for a restart.
extern const wchar_t kRunAtStartUpValue[];

// False (with the registry's error code in GetLastError) when the key is
// missing or cannot be opened.
bool OpenProgramKey(CRegistryKey& key);

// False only when Windows refuses the program's key (access denied): the
// user is no administrator. A missing key counts as permitted.
bool HasAdminRights();
