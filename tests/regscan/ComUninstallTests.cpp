#include <windows.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "regscan/RegKey.h"
#include "regscan/RegistryScaner.h"
#include "regscan/ScanTypes.h"
#include "regscan/UninstallsScan.h"
#include "shell/StringFormat.h"
#include "tests/regscan/RegScanTestSupport.h"
#include "tests/shell/ShellTestSupport.h"

using namespace RegistryKelvadorLib;

namespace
{
std::vector<int> g_percents;
std::vector<std::wstring> g_errorMessages;

void RecordProgress(ScanProgress* progress)
{
    const std::wstring errorAdded = L"Error added\n";
    if (StartsWith(progress->message, errorAdded))
        g_errorMessages.push_back(progress->message.substr(errorAdded.size()));
    else
        g_percents.push_back(progress->percent);
}

// A class identifier of this test program; `index` tells them apart.
std::wstring TestGuid(int index)
{
    return FormatText(L"{7E55A%03d-0000-4000-8000-%012lX}", index, GetCurrentProcessId());
}

std::vector<FoundError> RunScan(CRegistryScaner& scanner, int scanType)
{
    g_percents.clear();
    g_errorMessages.clear();
    return RunWholeScan(scanner, scanType, &RecordProgress);
}

std::string Describe(const std::vector<FoundError>& errors)
{
    std::string text;
    for (const FoundError& error : errors)
        text += Narrow(error.first) + " " + std::to_string(error.second) + "\n";
    return text;
}
}

TEST(ComScan, FindsExactlyThePlantedBrokenRegistrations)
{
    CScratchFolder folder;
    CRegistryScaner scanner;
    scanner.SetLog(folder.Path(), L"RegScaner.log");
    const std::vector<FoundError> before = RunScan(scanner, ScanTypeCom);

    const std::wstring pid = std::to_wstring(GetCurrentProcessId());
    const std::wstring root = L"hkey_classes_root\\";
    const std::wstring missingDll = folder / L"missing.dll";
    // A server that exists only in the 32-bit system folder.
    const std::wstring wowName = L"tessarin_wow_" + pid + L".dll";
    const std::wstring wowFile = ExpandEnvironment(L"%SystemRoot%\\syswow64\\") + wowName;
    TouchFile(wowFile);

    CPlantedKeys keys(HKEY_CLASSES_ROOT);
    const std::wstring progId = L"Tessarin.Broken." + pid;
    keys.Add(progId);
    const CScratchKey& broken = keys.Add(L"CLSID\\" + TestGuid(1));
    broken.SetString(L"InprocServer32", L"", missingDll);
    broken.SetString(L"ProgID", L"", progId);
    keys.Add(L"CLSID\\" + TestGuid(2)).SetString(L"InprocServer32", L"", L"%SystemRoot%\\system32\\ole32.dll",
                                                 REG_EXPAND_SZ);
    keys.Add(L"CLSID\\" + TestGuid(3)).SetString(L"InprocServer32", L"", L"C:\\windows\\system32\\" + wowName);
    keys.Add(L"Wow6432Node\\CLSID\\" + TestGuid(3))
        .SetString(L"InprocServer32", L"", L"C:\\windows\\system32\\" + wowName);
    const CScratchKey& emptyServer = keys.Add(L"CLSID\\" + TestGuid(4));
    emptyServer.SetString(L"InprocServer32", L"", L"");
    emptyServer.SetString(L"AppID", L"", TestGuid(5));
    emptyServer.SetString(L"", L"AppID", TestGuid(5));
    keys.Add(L"CLSID\\" + TestGuid(6)).SetString(L"ProgID", L"", L"Tessarin.Missing." + pid);
    keys.Add(L"AppID\\tessarin_" + pid + L".exe").SetString(L"", L"AppID", TestGuid(7));
    keys.Add(L"AppID\\" + TestGuid(8));
    keys.Add(L"AppID\\tessarin_ok_" + pid + L".exe").SetString(L"", L"AppID", TestGuid(8));
    keys.Add(L"Tessarin.BadProgId." + pid).SetString(L"CLSID", L"", TestGuid(9));
    keys.Add(L"Wow6432Node\\CLSID\\" + TestGuid(10));
    keys.Add(L"Tessarin.WowProgId." + pid).SetString(L"CLSID", L"", TestGuid(10));

    const std::vector<FoundError> after = RunScan(scanner, ScanTypeCom);
    DeleteFileW(wowFile.c_str());

    std::vector<FoundError> expected = {
        {root + L"appid\\tessarin_" + pid + L".exe", ProblemComAppIdMissing},
        {root + L"tessarin.badprogid." + pid, ProblemComClassMissing},
    };
    const std::vector<FoundError> brokenClasses = {
        {ToLower(L"CLSID\\" + TestGuid(1)), ProblemComServerMissing},
        {ToLower(L"CLSID\\" + TestGuid(4) + L"\\AppID"), ProblemComAppIdMissing},
        {ToLower(L"CLSID\\" + TestGuid(6) + L"\\ProgID"), ProblemComClassMissing},
    };
    // A 32-bit program planted the classes in the 32-bit view, which both
    // class walks reach: each broken class is met twice, the first one with
    // the program identifier its repair removes too. Its system folder is the
    // 32-bit one, where the third class's server is found.
    const bool wow64 = IsWow64Program();
    for (const FoundError& broken : brokenClasses)
    {
        expected.push_back({root + broken.first, broken.second});
        if (wow64)
            expected.push_back({root + L"wow6432node\\" + broken.first, broken.second});
    }
    for (int walk = 0; walk < (wow64 ? 2 : 1); ++walk)
        expected.push_back({root + ToLower(progId), ProblemComClassMissing});
    if (!wow64)
        expected.push_back({root + ToLower(L"CLSID\\" + TestGuid(3)), ProblemComServerMissing});
    // Where both views share the application identifiers (Wine, Windows 7),
    // the entry is also met, and is broken, in the 32-bit view.
    if (KeyExists(HKEY_CLASSES_ROOT, L"Wow6432Node\\AppID\\tessarin_" + pid + L".exe"))
        expected.push_back({root + L"wow6432node\\appid\\tessarin_" + pid + L".exe", ProblemComAppIdMissing});
    std::vector<FoundError> found = NewErrors(before, after);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, found) << Describe(found);
    // A broken program identifier is described by its bare path.
    EXPECT_EQ(1, std::count(g_errorMessages.begin(), g_errorMessages.end(), L"tessarin.badprogid." + pid));

    // Six walks of 15 percent each, then the end.
    ASSERT_FALSE(g_percents.empty());
    EXPECT_EQ(0, g_percents.front());
    EXPECT_EQ(100, g_percents.back());
    int highestWalk = *std::max_element(g_percents.begin(), g_percents.end() - 1);
    EXPECT_LE(highestWalk, 90);
    EXPECT_GT(highestWalk, 75);
}

TEST(PackedProductCode, ReversesAndSwapsTheGroups)
{
    const std::wstring longGroup(10000, L'a');
    const struct
    {
        std::wstring text;
        std::wstring packed;
    } cases[] = {
        {L"/x{01234567-89ab-cdef-0123-456789abcdef}", L"76543210ba98fedc1032547698badcfe"},
        {L"/I{ABC-12-3-45678-9}", L"CBA213547689"},
        {L"/x", L""},
        {L"1-2-", L"12"},
        {L"/x{" + longGroup + L"}", longGroup},
        {L"/x{" + longGroup, L""},
        {L"/x{" + longGroup + L"-1-2-3-4-5-6}", longGroup + L"1234"},
    };
    for (const auto& item : cases)
        EXPECT_TRUE(item.packed == PackedProductCode(item.text)) << Narrow(item.text.substr(0, 80));
}

TEST(PackedProductCode, TakesTheGroupsItsPatternDescribes)
{
    // The installer's product code groups: runs of hexadecimal digits that a
    // closing brace or a hyphen follows.
    static const std::wregex group(LR"(([\dA-Fa-f]+)(?=[\}-]))");
    for (const std::wstring& text : RandomTexts(L"0aFg-}{", 24, 4000))
    {
        std::wstring packed;
        int index = 0;
        for (std::wsregex_iterator match(text.begin(), text.end(), group), end; match != end && index < 5;
             ++match, ++index)
        {
            std::wstring part = match->str(1);
            if (index < 3)
                std::reverse(part.begin(), part.end());
            else
                for (size_t at = 0; at + 1 < part.size(); at += 2)
                    std::swap(part[at], part[at + 1]);
            packed += part;
        }
        EXPECT_EQ(packed, PackedProductCode(text)) << Narrow(text);
    }
}

TEST(UninstallsScan, FindsExactlyThePlantedBrokenEntries)
{
    CScratchFolder folder;
    CRegistryScaner scanner;
    scanner.SetLog(folder.Path(), L"RegScaner.log");
    const std::vector<FoundError> before = RunScan(scanner, ScanTypeUninstall);

    const std::wstring uninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    const std::wstring userData = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\" +
                                  UniqueName(L"S-1-5-21-tessarin");
    const std::wstring presentPackage = folder / L"present.msi";
    TouchFile(presentPackage);
    const std::wstring productPresent = TestGuid(20);
    const std::wstring productBroken = TestGuid(21);
    const std::wstring productUnknown = TestGuid(22);
    // Installers do leave codes far longer than any product's.
    const std::wstring productOverlong = L"{" + std::wstring(10000, L'a') + L"}";
    CScratchKey products(HKEY_LOCAL_MACHINE, userData);
    products.SetString(L"Products\\" + PackedProductCode(ToLower(productPresent)) + L"\\InstallProperties",
                       L"LocalPackage", presentPackage);
    products.SetString(L"Products\\" + PackedProductCode(ToLower(productBroken)) + L"\\InstallProperties",
                       L"LocalPackage", folder / L"gone.msi");

    struct Entry
    {
        const wchar_t* name;
        const wchar_t* displayName;
        std::wstring uninstallString;
        std::vector<int> problems;
    } entries[] = {
        {L"emptyName", L"", folder / L"uninst.exe", {ProblemUninstallNoName, ProblemUninstallProgramMissing}},
        {L"noName", nullptr, folder / L"uninst.exe", {}},
        {L"sound", L"Sound", L"%SystemRoot%\\system32\\rundll32.exe x", {}},
        {L"bareName", L"Bare", L"notepad.exe /u", {ProblemUninstallProgramMissing}},
        {L"productPresent", L"A", L"MsiExec.exe /X" + productPresent, {}},
        {L"productBroken", L"B", L"MsiExec.exe /X" + productBroken, {ProblemUninstallInstallerMissing}},
        {L"productUnknown", L"C", L"MsiExec.exe /X" + productUnknown, {ProblemUninstallInstallerMissing}},
        {L"productOverlong", L"G", L"MsiExec.exe /X" + productOverlong, {ProblemUninstallInstallerMissing}},
        {L"packagePresent", L"D", L"MsiExec.exe /x \"" + presentPackage + L"\"", {}},
        {L"packageMissing", L"E", L"MsiExec.exe /x \"" + folder / L"gone.msi" + L"\"",
         {ProblemUninstallInstallerMissing}},
        {L"withoutExtension", L"F", L"msiexec /x " + productPresent, {ProblemUninstallProgramMissing}},
    };
    CPlantedKeys keys(HKEY_LOCAL_MACHINE);
    std::vector<FoundError> expected;
    for (const Entry& entry : entries)
    {
        std::wstring path = uninstallKey + L"\\" + UniqueName(entry.name);
        const CScratchKey& key = keys.Add(path);
        if (entry.displayName)
            key.SetString(L"", L"DisplayName", entry.displayName);
        key.SetString(L"", L"UninstallString", entry.uninstallString, REG_EXPAND_SZ);
        for (int problem : entry.problems)
            expected.push_back({L"hkey_local_machine\\" + ToLower(path), problem});
    }
    // The installer entries name the product keys of every user without it.
    for (const std::wstring& product : {productBroken, productUnknown, productOverlong})
        expected.push_back({L"hkey_local_machine\\" + ToLower(userData + L"\\Products\\" + PackedProductCode(ToLower(product))),
                            ProblemUninstallInstallerMissing});

    const std::vector<FoundError> after = RunScan(scanner, ScanTypeUninstall);
    std::vector<FoundError> found = NewErrors(before, after);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, found) << Describe(found);
    EXPECT_EQ(1, std::count(g_errorMessages.begin(), g_errorMessages.end(),
                            L"Uninstall entry has not DisplayName value."));
}
