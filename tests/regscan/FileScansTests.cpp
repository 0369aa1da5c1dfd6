#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ComSupport.h"
#include "regscan/RegKey.h"
#include "regscan/RegistryScaner.h"
#include "regscan/ScanTypes.h"
#include "regscan/ShortcutsScan.h"
#include "base/StringFormat.h"
#include "testbed/support/ShortcutFile.h"
#include "tests/regscan/PlantedEntries.h"
#include "tests/regscan/RegScanTestSupport.h"
#include "tests/shell/ShellTestSupport.h"

using namespace RegistryKelvadorLib;

namespace
{
std::vector<std::wstring> g_descriptions;
std::vector<int> g_percents;

void RecordScan(ScanProgress* progress)
{
    const std::wstring errorAdded = L"Error added\n";
    if (StartsWith(progress->message, errorAdded))
        g_descriptions.push_back(ToLower(progress->message.substr(errorAdded.size())));
    else
        g_percents.push_back(progress->percent);
}

// One scan of the type over the registry (or the shell folders), with
// what its errors' fixes describe.
class ScanOnce : public ::testing::Test
{
protected:
    void SetUp() override { scanner.SetLog(logFolder.Path(), L"RegScaner.log"); }

    std::vector<FoundError> Run(int scanType)
    {
        g_descriptions.clear();
        g_percents.clear();
        return RunWholeScan(scanner, scanType, &RecordScan);
    }

    bool Described(const std::wstring& description) const
    {
        return std::count(g_descriptions.begin(), g_descriptions.end(), ToLower(description)) == 1;
    }

    CScratchFolder logFolder;
    CScratchFolder files;
    CRegistryScaner scanner;
    const std::wstring pid = std::to_wstring(GetCurrentProcessId());
};
}

TEST_F(ScanOnce, FontsNamingAMissingFileOrNothing)
{
    const std::wstring fontsKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
    const std::vector<FoundError> before = Run(ScanTypeFonts);
    const std::wstring missing = files / L"missing.ttf";
    const std::wstring present = files / L"present.ttf";
    TouchFile(present);
    CPlantedValue missingFont(HKEY_LOCAL_MACHINE, fontsKey, L"Tessarin Missing " + pid, missing);
    CPlantedValue emptyFont(HKEY_LOCAL_MACHINE, fontsKey, L"Tessarin Empty " + pid, L"");
    CPlantedValue presentFont(HKEY_LOCAL_MACHINE, fontsKey, L"Tessarin Present " + pid, present);
    // A bare name is looked for in the Windows Fonts folder, quotes and all.
    const std::wstring bareName = L"tessarin_" + pid + L".ttf";
    const std::wstring installed = ExpandEnvironment(L"%SystemRoot%\\Fonts\\") + bareName;
    TouchFile(installed);
    CPlantedValue bareFont(HKEY_LOCAL_MACHINE, fontsKey, L"Tessarin Bare " + pid, bareName);
    CPlantedValue quotedFont(HKEY_LOCAL_MACHINE, fontsKey, L"Tessarin Quoted " + pid, L"\"" + bareName + L"\"");

    const std::vector<FoundError> found = NewErrors(before, Run(ScanTypeFonts));
    DeleteFileW(installed.c_str());
    const std::wstring location = L"hkey_local_machine\\" + ToLower(fontsKey);
    EXPECT_EQ(found, (std::vector<FoundError>{
                         {location, ProblemFontEmpty}, {location, ProblemFileMissing}, {location, ProblemFileMissing}}));
    EXPECT_TRUE(Described(fontsKey + L"\\" + missing));
    EXPECT_TRUE(Described(fontsKey + L"\\\"" + bareName + L"\""));
    EXPECT_TRUE(Described(fontsKey + L"\\"));
    EXPECT_EQ(g_percents.back(), 100);
}

TEST_F(ScanOnce, HelpFilesInAMissingFolder)
{
    const std::vector<FoundError> before = Run(ScanTypeHelpFiles);
    const std::wstring helpName = UniqueName(L"Tessarin");
    CScratchKey help(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\Help\\" + helpName);
    TouchFile(files / L"present.hlp");
    help.SetString(L"", L"gone.hlp", files / L"missing_folder");
    help.SetString(L"", L"present.hlp", files.Path() + L"\\");
    // No folder: nothing to check.
    help.SetString(L"", L"empty.hlp", L"");

    std::vector<FoundError> expected = {{L"hkey_local_machine\\" + ToLower(help.Path()), ProblemHelpFileMissing}};
    // In a 32-bit program the walk of the 64-bit path and that of the
    // "Wow6432Node" path both reach the same, redirected key.
    if (IsWow64Program())
        expected.push_back({L"hkey_local_machine\\software\\wow6432node\\microsoft\\windows\\help\\" +
                                ToLower(helpName),
                            ProblemHelpFileMissing});
    EXPECT_EQ(NewErrors(before, Run(ScanTypeHelpFiles)), expected);
}

TEST_F(ScanOnce, ApplicationPathsExpandedAndSearched)
{
    const std::wstring appPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
    const std::vector<FoundError> before = Run(ScanTypeAppPath);
    const std::wstring programName = L"tessarin_app_" + pid + L".exe";
    const std::wstring program = ExpandEnvironment(L"%ProgramFiles%\\") + programName;
    TouchFile(program);
    CScratchKey expanded(HKEY_LOCAL_MACHINE, appPaths + L"tessarin_expanded_" + pid + L".exe");
    expanded.SetString(L"", L"", L"\"%ProgramFiles%\\" + programName + L"\"", REG_EXPAND_SZ);
    CScratchKey bareName(HKEY_LOCAL_MACHINE, appPaths + L"tessarin_bare_" + pid + L".exe");
    bareName.SetString(L"", L"", L"notepad.exe");
    CScratchKey missing(HKEY_LOCAL_MACHINE, appPaths + L"tessarin_missing_" + pid + L".exe");
    missing.SetString(L"", L"", files / L"gone.exe");

    const std::vector<FoundError> found = NewErrors(before, Run(ScanTypeAppPath));
    DeleteFileW(program.c_str());
    EXPECT_EQ(found, (std::vector<FoundError>{{L"hkey_local_machine\\" + ToLower(missing.Path()), ProblemFileMissing}}));
    EXPECT_TRUE(Described(missing.Path() + L"\\" + files / L"gone.exe"));
}

TEST_F(ScanOnce, AssociationsNamingMissingClassesAndPrograms)
{
    const std::vector<FoundError> before = Run(ScanTypeFileAssoc);
    const std::wstring brokenClass = L"Tessarin.Broken." + pid;
    const std::wstring soundClass = L"Tessarin.Sound." + pid;
    const std::wstring longClass = L"Tessarin.Long." + pid;
    CScratchKey extension(HKEY_CLASSES_ROOT, L".tessarin" + pid);
    extension.SetString(L"", L"", L"Tessarin.Missing." + pid);
    CScratchKey soundExtension(HKEY_CLASSES_ROOT, L".tessarinok" + pid);
    soundExtension.SetString(L"", L"", soundClass);

    // Two broken verbs give two errors.
    CScratchKey broken(HKEY_CLASSES_ROOT, brokenClass);
    broken.SetString(L"", L"", L"Broken");
    broken.SetString(L"shell\\open\\command", L"", files / L"gone.exe %1");
    broken.SetString(L"shell\\print\\command", L"", L"\"" + files / L"gone too.exe\" /p");
    broken.SetString(L"shell\\edit\\command", L"", L"%SystemRoot%\\system32\\NOTEPAD.EXE %1", REG_EXPAND_SZ);

    CScratchKey sound(HKEY_CLASSES_ROOT, soundClass);
    sound.SetString(L"", L"", L"Sound");
    sound.SetString(L"shell\\open\\command", L"", L"rundll32.exe " + files / L"gone.dll,Open %1");
    sound.SetString(L"shell\\edit\\command", L"", L"wscript " + files / L"script.vbs");

    // Commands of the full read size, and longer, with no terminator.
    CScratchKey longCommands(HKEY_CLASSES_ROOT, longClass);
    longCommands.SetString(L"", L"", L"Long");
    longCommands.SetBytes(L"shell\\open\\command", L"", REG_SZ, std::string(32766, 'a'));
    longCommands.SetBytes(L"shell\\edit\\command", L"", REG_SZ, std::string(40000, 'b'));

    const std::wstring root = L"hkey_classes_root\\";
    EXPECT_EQ(NewErrors(before, Run(ScanTypeFileAssoc)),
              (std::vector<FoundError>{{root + L".tessarin" + pid, ProblemAssocProgramMissing},
                                       {root + ToLower(brokenClass), ProblemAssocProgramMissing},
                                       {root + ToLower(brokenClass), ProblemAssocProgramMissing}}));
}

TEST_F(ScanOnce, StartupEntriesNamingMissingPrograms)
{
    const std::wstring runKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::vector<FoundError> before = Run(ScanTypeWinStartup);
    CreateDirectoryW((files / L"with space").c_str(), nullptr);
    const std::wstring program = files / L"with space\\present.exe";
    TouchFile(program);
    CPlantedValue missing(HKEY_LOCAL_MACHINE, runKey, L"TessarinMissing" + pid, L"\"" + files / L"gone.exe\" /x");
    CPlantedValue present(HKEY_LOCAL_MACHINE, runKey, L"TessarinPresent" + pid, L"\"" + program + L"\" /min");

    EXPECT_EQ(NewErrors(before, Run(ScanTypeWinStartup)),
              (std::vector<FoundError>{{L"hkey_local_machine\\" + ToLower(runKey), ProblemStartupFileMissing}}));
}

TEST_F(ScanOnce, ShortcutsToMissingTargets)
{
    CComApartment apartment;
    wchar_t programs[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programs, CSIDL_PROGRAMS, TRUE));
    const std::vector<FoundError> before = Run(ScanTypeShortcuts);

    const std::wstring folder = std::wstring(programs) + L"\\" + UniqueName(L"Tessarin");
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);
    const std::wstring target = files / L"target.exe";
    const std::wstring missingTarget = files / L"gone.exe";
    TouchFile(target);
    TouchFile(missingTarget);
    const std::wstring brokenLink = folder + L"\\sub\\broken.lnk";
    ASSERT_TRUE(CreateShortcut(folder + L"\\sound.lnk", target));
    ASSERT_TRUE(CreateShortcut(folder + L"\\folder.lnk", files.Path()));
    ASSERT_TRUE(CreateShortcut(brokenLink, missingTarget));
    DeleteFileW(missingTarget.c_str());
    // A file that only carries the name of a shortcut is skipped.
    WriteFileBytes(folder + L"\\not a shortcut.lnk", "not a shortcut");
    WriteFileBytes(folder + L"\\empty.lnk", "");

    const std::vector<FoundError> found = NewErrors(before, Run(ScanTypeShortcuts));
    DeleteTree(folder);
    EXPECT_EQ(found, (std::vector<FoundError>{{ToLower(brokenLink), ProblemShortcutTargetMissing}}));
    EXPECT_TRUE(Described(missingTarget));
}

TEST_F(ScanOnce, EmptyKeysButNotExcludedOnes)
{
    const std::wstring sid = scanner.GetUserSid();
    const HKEY userRoot = sid.empty() ? HKEY_CURRENT_USER : HKEY_USERS;
    const std::wstring userPath = sid.empty() ? L"Software" : sid + L"\\Software";
    const std::vector<FoundError> before = Run(ScanTypeEmptyKeys);

    CScratchKey keys(userRoot, userPath + L"\\" + UniqueName(L"Tessarin"));
    keys.SetString(L"", L"value", L"data");
    keys.CreateKey(L"empty");
    keys.CreateKey(L"Microsoft");
    keys.CreateKey(L"MicrosoftEdge");
    keys.CreateKey(L"holder\\leaf");
    keys.SetString(L"filled", L"", L"data");
    // An empty key of the 32-bit view: skipped where it is met below
    // "Wow6432Node", found where a 32-bit program meets it under the 64-bit
    // names. It lies where Windows has such a key, as Wine redirects 32-bit
    // programs into any key of that name, in the user's scratch key too.
    const std::wstring wowName = UniqueName(L"Tessarin");
    CScratchKey wowKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432NODE\\" + wowName);

    const std::wstring location = ToLower(DisplayPath(userRoot, keys.Path())) + L"\\";
    std::vector<FoundError> expected = {{location + L"empty", ProblemEmptyKey},
                                        {location + L"holder\\leaf", ProblemEmptyKey},
                                        {location + L"microsoftedge", ProblemEmptyKey}};
    if (IsWow64Program())
        expected.push_back({L"hkey_local_machine\\software\\" + ToLower(wowName), ProblemEmptyKey});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(NewErrors(before, Run(ScanTypeEmptyKeys)), expected);
}

TEST_F(ScanOnce, SharedDllsAreNeverErrors)
{
    EXPECT_TRUE(Run(ScanTypeSharedDll).empty());
    EXPECT_EQ(g_percents, std::vector<int>{100});
}
