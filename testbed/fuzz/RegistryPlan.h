#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "testbed/fuzz/Mutations.h"

// Hostile registry contents planted through the registry API where the
// scans look, in either registry view, and removed again. Every planted
// key and value name starts with "TessarinFuzz" (class ids with
// "{7E55F022-", extensions with ".tessarinfuzz"), so that what a crashed
// run left behind is found and removed at the next set-up.
struct RegistryPlanting
{
    HKEY root = HKEY_LOCAL_MACHINE;
    // 0, KEY_WOW64_64KEY or KEY_WOW64_32KEY.
    REGSAM view = 0;
    // An existing key the scans read.
    std::wstring base;
    // The planted key path below the base; empty to plant a value in the
    // base itself.
    std::wstring sub;
    std::wstring valueName;
    bool hasValue = false;
    DWORD type = REG_SZ;
    std::string data;
    // The base may be missing (the installer's user data on a machine
    // without one): planted, it is removed with the planting.
    bool ownsBase = false;
};

using RegistryPlan = std::vector<RegistryPlanting>;

// A plan for the scan type (see ScanTypes.h), or for every scan at once
// (-1): shapes of real entries mutated, and the nasty cases (texts of
// 32,767+ characters, no terminator, binary data typed as text, command
// lines of 60,000 characters, product codes of 12,000, environment
// variables that expand past 32,767, keys 300 deep, names at their limits,
// entries that point at themselves).
RegistryPlan GenerateRegistryPlan(CFuzzRandom& random, int scanType);

std::string SerializePlan(const RegistryPlan& plan);
// What the bytes still describe; a damaged replay gives a shorter plan.
RegistryPlan DeserializePlan(const std::string& bytes);

// Plants the plan; the number of plantings the registry took. A base the
// plan may own but that existed already is left to its owner.
size_t PlantPlan(RegistryPlan& plan);
// Removes what the plan planted.
void RemovePlan(const RegistryPlan& plan);
// Removes whatever the fuzz names are found at the places plans plant in.
void RemoveFuzzLeftovers();

// The environment variable the plans' expanding texts use (16,000
// characters, so that two of them pass 32,767); set in this process.
void SetLongEnvironmentVariable();
