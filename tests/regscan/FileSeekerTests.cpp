#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "regscan/FileRefsScan.h"
#include "regscan/FileSeeker.h"
#include "regscan/RegKey.h"
#include "regscan/RegistryScaner.h"
#include "regscan/ScanTypes.h"
#include "shell/Folders.h"
#include "testbed/HangGuard.h"
#include "tests/regscan/RegScanTestSupport.h"
#include "tests/shell/ShellTestSupport.h"

using namespace RegistryKelvadorLib;

namespace
{
// A folder with a space in its name and a program in it.
class FileSeekerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        scanner.SetLog(folder.Path(), L"RegScaner.log");
        CreateDirectoryW(appFolder.c_str(), nullptr);
        TouchFile(app);
    }

    CScratchFolder folder;
    CRegistryScaner scanner;
    const std::wstring appFolder = folder / L"App Dir";
    const std::wstring app = appFolder + L"\\app.exe";
};

// The command-line split as two regular expressions describe it, for texts
// short enough for them.
std::wstring PatternSplit(const std::wstring& commandLine, std::wstring& arguments)
{
    static const std::wregex drivePath(LR"(^"?[A-Za-z]:(\\[^/:"]+)\\[^/:\\"]+\.[^/:\\]*?(?=("|\s|$)))");
    static const std::wregex bareName(LR"(^"?[^/:\\"]+?\.[^/:\\]*?(?=("|\s|$)))");
    std::wsmatch match;
    if (!std::regex_search(commandLine, match, drivePath) && !std::regex_search(commandLine, match, bareName))
        return commandLine;
    auto unquoted = [](std::wstring text) {
        while (!text.empty() && text.back() == L'"')
            text.pop_back();
        return text.substr(std::min(text.find_first_not_of(L'"'), text.size()));
    };
    const std::wstring file = match.str(0);
    arguments = unquoted(file.size() < commandLine.size() ? commandLine.substr(file.size() + 1) : std::wstring());
    return unquoted(file);
}

// A file-reference scan that judges one value at a time.
class CValueJudge : public CFileRefsScan
{
public:
    CValueJudge() : CFileRefsScan(std::wstring()) {}

    // True when the text is taken for a reference to a missing file.
    bool Broken(const std::wstring& text)
    {
        const int before = ErrorsFound();
        std::vector<BYTE> data(reinterpret_cast<const BYTE*>(text.c_str()),
                               reinterpret_cast<const BYTE*>(text.c_str() + text.size() + 1));
        CRegValue value(HKEY_CURRENT_USER, L"software\\tessarin", L"path", REG_SZ, data,
                        static_cast<DWORD>(data.size()), 0);
        CheckValue(&value);
        return ErrorsFound() > before;
    }
};

std::wstring Repeated(const std::wstring& text, size_t times)
{
    std::wstring repeated;
    for (size_t time = 0; time < times; ++time)
        repeated += text;
    return repeated;
}
}

TEST_F(FileSeekerTest, FindFileResolvesCommandLines)
{
    const std::wstring rundll = ExpandEnvironment(L"%SystemRoot%\\system32\\rundll32.exe");
    struct Case
    {
        std::wstring text;
        bool asDirectory;
        bool found;
        std::wstring resolved;
        std::wstring arguments;
    } cases[] = {
        {L"\"" + app + L"\" /min", false, true, app, L"/min"},
        {app + L" -x", false, true, ToLower(app), L"-x"},
        {L"c:\\windows\\system32\\rundll32.exe c:\\x\\y.dll,a", false, false, L"", L""},
        {L"rundll32.exe c:\\x\\y.dll", false, true, rundll, L""},
        {L"%SystemRoot%\\system32\\rundll32.exe", false, true, rundll, L""},
        {appFolder, true, true, appFolder, L""},
        {appFolder + L"\\", true, true, appFolder + L"\\", L""},
        {appFolder + L"\\missing.exe", true, false, L"", L""},
        {L"\"" + appFolder + L"\\missing.exe\" /a", false, false, L"", L""},
        {L"tessarin_no_such_program.exe", false, false, L"", L""},
        {L"", false, false, L"", L""},
        {L"\"", false, false, L"", L""},
        {L":\\", false, false, L"", L""},
    };
    for (const Case& item : cases)
    {
        std::wstring text = item.text;
        std::wstring arguments;
        EXPECT_EQ(item.found, FindFile(text, arguments, item.asDirectory)) << Narrow(item.text);
        if (!item.found)
            continue;
        EXPECT_EQ(ToLower(item.resolved), ToLower(text)) << Narrow(item.text);
        EXPECT_EQ(item.arguments, arguments) << Narrow(item.text);
    }
}

TEST_F(FileSeekerTest, FailedLookupsAreLoggedOncePerCandidate)
{
    std::wstring text = L"c:\\windows\\system32\\rundll32.exe c:\\x\\y.dll,a";
    std::wstring arguments;
    ASSERT_FALSE(FindFile(text, arguments, false));
    EXPECT_EQ(1, CountInScannerLog(folder.Path(), L" File seeker didn't find file (in - c:\\windows\\system32\\rundll32.exe c:\\x\\y.dll,a) "
                              L"(out -c:\\windows\\system32\\rundll32.exe c:\\x\\y.dll,a )\r\n"));

    // A search-list entry that is not a drive path is tried once, without a
    // search of its own: one line per entry and one for the name itself.
    std::wstring savedPath(32767, L'\0');
    savedPath.resize(GetEnvironmentVariableW(L"PATH", &savedPath[0], 32767));
    SetEnvironmentVariableW(L"PATH", L"relative\\folder");
    const int linesBefore = CountInScannerLog(folder.Path(), L"File seeker didn't find file");
    text = L"tessarin_missing_tool.exe";
    bool found = FindFile(text, arguments, false);
    SetEnvironmentVariableW(L"PATH", savedPath.c_str());
    EXPECT_FALSE(found);
    EXPECT_EQ(6, CountInScannerLog(folder.Path(), L"File seeker didn't find file") - linesBefore);
    EXPECT_EQ(1, CountInScannerLog(folder.Path(), L"(in - relative\\folder\\tessarin_missing_tool.exe)"));
}

TEST_F(FileSeekerTest, FileExistsSearchesOnlyWhenExpanding)
{
    SearchList list;
    EXPECT_FALSE(FileExists(L"notepad.exe", list, false));
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(FileExists(L"notepad.exe", list, true));
    EXPECT_FALSE(list.empty());
    EXPECT_TRUE(FileExists(L"%SystemRoot%\\notepad.exe", list, true));
    EXPECT_FALSE(FileExists(L"%SystemRoot%\\notepad.exe", list, false));
    EXPECT_FALSE(FileExists(L"tessarin_no_such_font.ttf", list, true));
    EXPECT_TRUE(FileExists(app, list, false));

    // Without expansion a bare name is looked for in the current folder only.
    TouchFile(folder / L"tessarin.ttf");
    std::wstring saved = GetCurrentFolder();
    SetCurrentDirectoryW(folder.Path().c_str());
    bool inCurrentFolder = FileExists(L"tessarin.ttf", list, false);
    SetCurrentDirectoryW(saved.c_str());
    EXPECT_TRUE(inCurrentFolder);
    EXPECT_FALSE(FileExists(L"tessarin.ttf", list, false));
}

TEST(SplitCommandLine, SplitsTheFilePartFromItsArguments)
{
    const std::wstring unchanged = L"<unchanged>";
    struct Case
    {
        std::wstring commandLine;
        std::wstring file;
        std::wstring arguments;
    } cases[] = {
        {L"C:\\Tools\\x.exe -f", L"C:\\Tools\\x.exe", L"-f"},
        {L"\"C:\\Program Files\\App\\app.exe\" /min", L"C:\\Program Files\\App\\app.exe", L" /min"},
        {L"C:\\Program Files\\App\\app.exe", L"C:\\Program Files\\App\\app.exe", L""},
        {L"%SystemRoot%\\notepad.exe %1", ExpandEnvironment(L"%SystemRoot%\\notepad.exe"), L"%1"},
        {L"MsiExec.exe /X{01234567-89AB-CDEF-0123-456789ABCDEF}", L"MsiExec.exe",
         L"/X{01234567-89AB-CDEF-0123-456789ABCDEF}"},
        {L"msiexec /x {01234567-89AB-CDEF-0123-456789ABCDEF}", L"msiexec /x {01234567-89AB-CDEF-0123-456789ABCDEF}",
         unchanged},
        {L"no dot here", L"no dot here", unchanged},
        {L"", L"", unchanged},
        {L"C:\\\u0436\u4e2d\\\u03a9.exe /q", L"C:\\\u0436\u4e2d\\\u03a9.exe", L"/q"},
        // A file in a drive's root has no folder part: not recognised.
        {L"C:\\a.exe -q", L"C:\\a.exe -q", unchanged},
        {L"C:\\Tools\\a.exe " + std::wstring(100000, L'x'), L"C:\\Tools\\a.exe", std::wstring(100000, L'x')},
        {std::wstring(100000, L'y'), std::wstring(100000, L'y'), unchanged},
    };
    for (const Case& item : cases)
    {
        std::wstring arguments = unchanged;
        // Compared as booleans: some texts are too long to print.
        EXPECT_TRUE(item.file == SplitCommandLine(item.commandLine, arguments)) << Narrow(item.commandLine.substr(0, 80));
        EXPECT_TRUE(item.arguments == arguments) << Narrow(item.commandLine.substr(0, 80));
    }
}

TEST(SplitCommandLine, FindsWhatItsPatternsDescribe)
{
    // Short texts of the characters that matter, as they are and after the
    // start of a drive path.
    for (const std::wstring& tail : RandomTexts(L"a.\\/:\" \t", 14, 4000))
    {
        for (const std::wstring& text : {tail, L"C:\\" + tail, L"\"c:\\a" + tail})
        {
            std::wstring expectedArguments = L"<unchanged>";
            std::wstring arguments = expectedArguments;
            const std::wstring expected = PatternSplit(text, expectedArguments);
            EXPECT_EQ(expected, SplitCommandLine(text, arguments)) << Narrow(text);
            EXPECT_EQ(expectedArguments, arguments) << Narrow(text);
        }
    }
}

// Values no file path resembles, each as long as a registry value may well
// be: the scan judges each of them, with the answers that hold for paths of
// real files.
TEST_F(FileSeekerTest, LongValuesAreJudgedAsShortOnes)
{
    const struct
    {
        const char* what;
        std::wstring text;
        bool broken;
    } cases[] = {
        {"a space every other character", L"c:\\" + Repeated(L"a ", 30000), true},
        {"the same after a folder", appFolder + L"\\" + Repeated(L"a ", 30000), true},
        {"a present program with many arguments", app + Repeated(L" a", 30000), false},
        {"a folder named again and again", appFolder + Repeated(L"\\.", 2000) + L"\\missing.exe", true},
        {"the same for a present program", appFolder + Repeated(L"\\.", 2000) + L"\\app.exe", false},
        {"dots after a folder, in many paths", Repeated(L"C:\\x\\" + std::wstring(2043, L'.') + L"/;", 29), true},
        {"many paths before a present program", Repeated(L"c:\\" + Repeated(L"a ", 1000) + L";", 50) + app, false},
        {"many paths before a missing one", Repeated(app + L";", 5000) + folder / L"missing.exe", true},
    };
    CHangGuard guard("judging long values", 120000);
    CValueJudge judge;
    for (const auto& item : cases)
        EXPECT_EQ(item.broken, judge.Broken(item.text)) << item.what;
}

TEST_F(FileSeekerTest, AbsoluteAndMissingPaths)
{
    struct Case
    {
        std::wstring text;
        bool absolute;
        bool missing;
    } cases[] = {
        {L"", false, false},
        {L"notepad.exe", false, false},
        {L"\\\\server\\share\\x.exe", false, false},
        {L"1:\\x.exe", false, false},
        {L"\"C:\\x\"", true, true},
        {appFolder + L"\\missing.exe", true, true},
        {appFolder, true, false},
        {app, true, false},
        {L"\"" + app + L"\" -x", true, false},
        {L"C:\\\u0436\u4e2d\\\u03a9.exe", true, true},
    };
    for (const Case& item : cases)
    {
        EXPECT_EQ(item.absolute, IsAbsolutePath(item.text)) << Narrow(item.text);
        EXPECT_EQ(item.missing, IsMissingPath(item.text)) << Narrow(item.text);
    }
}

// The file-reference scan walks the whole registry: one run finds every
// planted value, compared with a run before planting.
TEST_F(FileSeekerTest, FileRefsScanFindsExactlyThePlantedReferences)
{
    const std::wstring missing = folder / L"missing.exe";
    const std::vector<FoundError> before = RunWholeScan(scanner, ScanTypeFileRefs);

    CScratchKey key(HKEY_CURRENT_USER, L"Software\\TessarinTests\\" + UniqueName(L"FileRefs"));
    struct Case
    {
        const wchar_t* keyName;
        std::wstring data;
        bool broken;
    } cases[] = {
        {L"missing", missing, true},
        {L"missingWithArguments", L"\"" + missing + L"\" /s", true},
        {L"present", app, false},
        {L"folder", appFolder, false},
        {L"lastMissing", app + L";" + missing, true},
        {L"firstMissing", missing + L";" + app, false},
        {L"relative", L"missing.exe", false},
        {L"expanded", L"%SystemRoot%\\tessarin_missing.exe", true},
        {L"nonAnsi", L"C:\\\u0436\u4e2d\\\u03a9.exe", true},
    };
    for (const Case& item : cases)
        key.SetString(item.keyName, L"path", item.data, REG_EXPAND_SZ);
    key.SetString(L"Classes\\Software\\Classes", L"path", missing);

    std::vector<FoundError> found = NewErrors(before, RunWholeScan(scanner, ScanTypeFileRefs));

    for (const Case& item : cases)
    {
        const std::wstring keyPath = ToLower(L"\\" + key.Path() + L"\\" + item.keyName);
        int matches = static_cast<int>(std::count_if(found.begin(), found.end(), [&](const FoundError& error) {
            return EndsWith(error.first, keyPath) && error.second == ProblemFileReferenceMissing;
        }));
        EXPECT_EQ(item.broken ? 1 : 0, matches) << Narrow(item.keyName);
    }
    EXPECT_EQ(5u, found.size());
}
