#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/ScopedHandle.h"
#include "regscan/RegistryScaner.h"
#include "regscan/ScanTypes.h"
#include "testbed/HangGuard.h"
#include "tests/regscan/RegScanTestSupport.h"
#include "tests/shell/ShellTestSupport.h"

using namespace RegistryKelvadorLib;

namespace
{
struct CheckedValue
{
    std::wstring keyPath;
    std::wstring name;
    DWORD type;
    DWORD dataSize;
    std::wstring text;
};

std::vector<int> g_percents;
std::vector<std::wstring> g_messages;

void RecordProgress(ScanProgress* progress)
{
    g_percents.push_back(progress->percent);
    g_messages.push_back(progress->message);
}

// A scan that only records what the walk hands it. A value named "throw"
// makes it throw.
class CRecordingScan : public CRegScan
{
public:
    CRecordingScan() : CRegScan(ScanTypeEmptyKeys) {}

    void Scan(CRegErrorContainer* container, ScanCallback callback) override { BeginScan(container, callback); }
    void CheckValue(CRegValue* value) override
    {
        if (value->GetValueName() == L"throw")
            throw std::runtime_error("broken value");
        checked.push_back({value->GetKeyPath(), value->GetValueName(), value->GetType(), value->GetDataSize(),
                           DataAsText(*value)});
    }

    LONG Walk(HKEY root, const std::wstring& path, int nDeep, int start = 0, int interval = 100, int minDepth = 0)
    {
        m_root = root;
        m_minValueDepth = minDepth;
        BeginScan(nullptr, &RecordProgress);
        return ScanKey(path, nDeep, start, interval);
    }
    using CRegScan::ExcludeKey;
    using CRegScan::ScanValues;

    std::vector<CheckedValue> checked;
};

class WalkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_percents.clear();
        g_messages.clear();
        scanner.SetLog(folder.Path(), L"RegScaner.log");
    }

    CScratchFolder folder;
    CRegistryScaner scanner;
    CScratchKey key{HKEY_CURRENT_USER, L"Software\\TessarinTests\\" + UniqueName(L"Walk")};
    CRecordingScan scan;
};

}

TEST_F(WalkTest, SubkeysShareTheIntervalAndDepthLimitsTheWalk)
{
    for (const wchar_t* name : {L"A", L"B", L"C", L"D"})
        key.SetString(std::wstring(name) + L"\\Deeper", L"v", L"x");
    key.SetString(L"", L"top", L"value");

    // 15 / 4 = 3 per subkey. The walks one level down may go no further and
    // report nothing, as their keys have subkeys.
    scan.Walk(HKEY_CURRENT_USER, key.Path(), 1, 10, 15);
    EXPECT_EQ((std::vector<int>{13, 16, 19, 22}), g_percents);
    ASSERT_EQ(1u, scan.checked.size());
    EXPECT_EQ(L"top", scan.checked[0].name);
    // Progress keeps the registry's case.
    EXPECT_EQ(DisplayPath(HKEY_CURRENT_USER, key / L"A"), g_messages[0]);

    // nDeep 0: the key's own values, no subkeys, no progress.
    g_percents.clear();
    scan.checked.clear();
    scan.Walk(HKEY_CURRENT_USER, key.Path(), 0);
    EXPECT_TRUE(g_percents.empty());
    ASSERT_EQ(1u, scan.checked.size());

    // The depth rule: values only in keys with at least that many backslashes.
    scan.checked.clear();
    scan.Walk(HKEY_CURRENT_USER, key.Path(), -1, 0, 100, CRegScan::KeyDepth(key.Path()) + 2);
    EXPECT_EQ(4u, scan.checked.size());
    // Paths below the start reach the check in lower case.
    for (const CheckedValue& value : scan.checked)
        EXPECT_TRUE(EndsWith(value.keyPath, L"\\deeper")) << Narrow(value.keyPath);
}

// Names read while the key changes under the reading: it ends at the count
// found at the start, skips a name that does not fit and ends at a failure
// that would come back at every further index.
TEST_F(WalkTest, SubkeyNamesStopAtTheQueriedCountAndAtAFailure)
{
    enum Change
    {
        Unchanged,
        KeyDeleted,
        SubkeysAdded,
    };
    const struct
    {
        const char* what;
        Change change;
        DWORD longestName;
        std::vector<std::wstring> names;
    } cases[] = {
        {"unchanged", Unchanged, 8, {L"a", L"bbbbbbbb", L"c"}},
        {"a name too long for the buffer", Unchanged, 1, {L"a", L"c"}},
        {"key deleted after the first name", KeyDeleted, 8, {L"a"}},
        {"subkeys added after the first name", SubkeysAdded, 8, {L"a", L"bbbbbbbb", L"c"}},
    };
    CHangGuard guard("reading subkey names", 60000);
    for (const auto& item : cases)
    {
        const std::wstring path = key / UniqueName(L"names");
        for (const wchar_t* name : {L"a", L"bbbbbbbb", L"c"})
            key.CreateKey(path.substr(key.Path().size() + 1) + L"\\" + name);
        CScopedKey open;
        ASSERT_EQ(ERROR_SUCCESS, open.Open(HKEY_CURRENT_USER, path, KEY_READ));
        KeyCounts counts;
        ASSERT_EQ(ERROR_SUCCESS, QueryCounts(open.Get(), counts));
        CSubkeyNames names(open.Get(), counts.subkeys, item.longestName);
        std::vector<std::wstring> read;
        std::wstring name;
        while (names.Next(name))
        {
            read.push_back(name);
            if (read.size() > 1)
                continue;
            if (item.change == KeyDeleted)
            {
                EXPECT_EQ(ERROR_SUCCESS, SHDeleteKeyW(HKEY_CURRENT_USER, path.c_str())) << item.what;
            }
            if (item.change == SubkeysAdded)
            {
                for (const wchar_t* added : {L"d", L"e"})
                    key.CreateKey(path.substr(key.Path().size() + 1) + L"\\" + added);
            }
        }
        EXPECT_EQ(item.names, read) << item.what;
    }
}

TEST_F(WalkTest, EmptyStartPathMakesBareChildNames)
{
    key.SetString(L"Child", L"v", L"x");
    CScopedKey root;
    ASSERT_EQ(ERROR_SUCCESS, root.Open(HKEY_CURRENT_USER, key.Path(), KEY_READ));
    scan.Walk(root.Get(), L"", -1);
    ASSERT_EQ(1u, scan.checked.size());
    EXPECT_EQ(L"child", scan.checked[0].keyPath);
    // Not one of the predefined roots: no name before the backslash.
    EXPECT_EQ(L"\\Child", g_messages.at(0));
}

TEST_F(WalkTest, ValuesAsTheWalkHandsThemOver)
{
    const std::wstring longName(255, L'n');
    struct Case
    {
        const wchar_t* name;
        DWORD type;
        std::string bytes;
        bool checked;
        std::wstring text;
    } cases[] = {
        {L"empty", REG_SZ, "", false, L""},
        {L"binaryEmpty", REG_BINARY, "", false, L""},
        {L"plain", REG_SZ, WideBytes(std::wstring(L"abc") + L'\0'), true, L"abc"},
        // Without a terminator the last character stays.
        {L"noTerminator", REG_SZ, WideBytes(L"abc"), true, L"abc"},
        {L"oddBytes", REG_EXPAND_SZ, WideBytes(L"ab") + "c", true, L"ab"},
        {L"multi", REG_MULTI_SZ, WideBytes(std::wstring(L"a\0b\0\0", 5)), true, L"a"},
        {L"multiSingleTerminator", REG_MULTI_SZ, WideBytes(std::wstring(L"a\0b", 3)), true, L"a"},
        {L"dword", REG_DWORD, std::string("\xff\xff\xff\xff", 4), true, L"4294967295"},
        {L"bigEndian", REG_DWORD_BIG_ENDIAN, std::string("\x01\x00\x00\x00", 4), true, L"1"},
        {L"shortDword", REG_DWORD, std::string("\x05", 1), true, L"5"},
        {L"qword", REG_QWORD, std::string("\xff\xff\xff\xff\x01\x00\x00\x00", 8), true, L"-1"},
        {L"binary", REG_BINARY, "xyz", true, L""},
    };
    for (const Case& item : cases)
        key.SetBytes(L"", item.name, item.type, item.bytes);
    key.SetString(L"", longName, L"long");

    scan.Walk(HKEY_CURRENT_USER, key.Path(), 0);
    for (const Case& item : cases)
    {
        auto found = std::find_if(scan.checked.begin(), scan.checked.end(),
                                  [&](const CheckedValue& value) { return value.name == item.name; });
        ASSERT_EQ(item.checked, found != scan.checked.end()) << Narrow(item.name);
        if (found == scan.checked.end())
            continue;
        EXPECT_EQ(item.type, found->type) << Narrow(item.name);
        // Wine adds a terminator to a string stored without one.
        EXPECT_LE(item.bytes.size(), found->dataSize) << Narrow(item.name);
        EXPECT_EQ(item.text, found->text) << Narrow(item.name);
    }
    EXPECT_EQ(1, std::count_if(scan.checked.begin(), scan.checked.end(),
                               [&](const CheckedValue& value) { return value.name == longName; }));
}

TEST_F(WalkTest, ValuesLargerThanTheKeyReportedAreReadWhole)
{
    // Sizes from an earlier query that the values have outgrown since.
    key.SetString(L"", L"grown", std::wstring(300, L'g'));
    CScopedKey open;
    ASSERT_EQ(ERROR_SUCCESS, open.Open(HKEY_CURRENT_USER, key.Path(), KEY_READ));
    scan.ScanValues(open.Get(), key.Path(), 1, 1, 4, 0);
    ASSERT_EQ(1u, scan.checked.size());
    EXPECT_EQ(std::wstring(300, L'g'), scan.checked[0].text);
    EXPECT_EQ(L"grown", scan.checked[0].name);
}

TEST_F(WalkTest, ExcludedFragmentsKeepTheWalkOut)
{
    // Any name but "Wow6432Node": Wine sends a 32-bit program that opens the
    // parent of a key of that name into it, wherever it lies.
    key.SetString(L"Software\\Skipped\\X", L"v", L"inside");
    key.SetString(L"Skipped", L"v", L"itself");
    key.SetString(L"Software\\Other", L"v", L"outside");
    scan.ExcludeKey(L"SKIPped");
    scan.Walk(HKEY_CURRENT_USER, key.Path(), -1);
    ASSERT_EQ(1u, scan.checked.size());
    EXPECT_EQ(L"outside", scan.checked[0].text);
    EXPECT_TRUE(scan.IsExcluded(L"skipped"));
    EXPECT_TRUE(scan.IsExcluded(L"software\\skipped\\x"));
    EXPECT_FALSE(scan.IsExcluded(L"software\\skip"));
}

TEST_F(WalkTest, DeepNestingLongNamesAndNamesOutsideTheCodePage)
{
    std::wstring deep;
    for (int level = 0; level < 100; ++level)
        deep += level ? L"\\k" : L"k";
    key.SetString(deep, L"v", L"deepest");
    key.SetString(L"\u03a9\u0436\u00fc\u4e2d", L"\u0436", L"C:\\\u0436\u4e2d\\file.exe");
    key.SetString(std::wstring(255, L'n'), L"v", L"long name");
    scan.Walk(HKEY_CURRENT_USER, key.Path(), -1);
    ASSERT_EQ(3u, scan.checked.size());
    for (const CheckedValue& value : scan.checked)
    {
        if (value.text == L"deepest")
        {
            EXPECT_EQ(100, CRegScan::KeyDepth(value.keyPath) - CRegScan::KeyDepth(key.Path()));
        }
        else if (value.text != L"long name")
        {
            EXPECT_EQ(L"C:\\\u0436\u4e2d\\file.exe", value.text);
        }
    }
}

TEST_F(WalkTest, ExceptionEndsOnlyThatKeysWalkAndIsLogged)
{
    key.SetString(L"A", L"throw", L"x");
    key.SetString(L"A\\Below", L"v", L"never");
    key.SetString(L"B", L"v", L"reached");
    scan.Walk(HKEY_CURRENT_USER, key.Path(), -1);
    ASSERT_EQ(1u, scan.checked.size());
    EXPECT_EQ(L"reached", scan.checked[0].text);
    std::wstring expected = L"Unknown exception\nhRoot: HKEY_CURRENT_USER\nsSubkey: " + ToLower(key / L"A") +
                            L"\nnDeep: -2\nnPercentsStart: 0\nnPercentsInterval:50 (last error = ";
    EXPECT_EQ(1, CountInScannerLog(folder.Path(), expected));
}

TEST(ErrorContainer, CountsByTypeAndTotalOfKnownTypes)
{
    CRegErrorContainer container;
    for (int type : {0, 4, 4, 10, 11})
        container.Add(std::make_unique<CRegError>(type, std::make_unique<CDeleteKey>(HKEY_CLASSES_ROOT, L"k", 2)));
    container.Add(nullptr);
    EXPECT_EQ(2u, container.GetCount(4));
    EXPECT_EQ(0u, container.GetCount(7));
    EXPECT_EQ(1u, container.GetCount(11));
    EXPECT_EQ(4u, container.GetTotalCount());
    container.Clear();
    EXPECT_EQ(0u, container.GetTotalCount());
}

TEST(RegistryScaner, AddsScansOfKnownTypesOnly)
{
    CRegistryScaner scanner;
    for (int type : {0, 1, 7, 11, -1})
        scanner.AddScan(type);
    EXPECT_EQ(3u, scanner.GetScanCount());
    scanner.ClearScans();
    EXPECT_EQ(0u, scanner.GetScanCount());
}

TEST(RegistryScaner, UserSidIsTheDesktopUsers)
{
    // Wine starts explorer.exe for the first program that asks for the desktop.
    GetDesktopWindow();
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    CScopedHandle own(token);
    const std::wstring expected = TokenUserSid(token);
    ASSERT_FALSE(expected.empty());

    CRegistryScaner scanner;
    EXPECT_EQ(expected, scanner.GetUserSid());
}

TEST(RegistryScaner, LogsTheRunAndRefusesAMissingContainer)
{
    CScratchFolder folder;
    CRegistryScaner scanner;
    scanner.SetLog(folder.Path(), L"RegScaner.log");
    scanner.Scan(nullptr, nullptr);
    CRegErrorContainer container;
    scanner.Scan(&container, nullptr);
    EXPECT_EQ(2, CountInScannerLog(folder.Path(), L" Begin scan.\r\n"));
    EXPECT_EQ(2, CountInScannerLog(folder.Path(), L" User SID: " + scanner.GetUserSid() + L"\r\n"));
    EXPECT_EQ(1, CountInScannerLog(folder.Path(), L" Invalid scan params. Scan failed.\r\n"));
    EXPECT_EQ(1, CountInScannerLog(folder.Path(), L" End scan.\r\n"));
}
