#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "net/Settings.h"
#include "testbed/support/LogRecorder.h"
#include "tests/shell/ShellTestSupport.h"

namespace
{
std::wstring Loaded(const std::wstring& path)
{
    return CSettings(path).GetUrl();
}
}

TEST(Settings, AddressSurvivesTheObjectAsHiddenUtf16WithOneNul)
{
    CScratchFolder folder;
    const std::wstring path = folder / L"user_url";
    const std::wstring url = L"http://a.test/";  // 14 characters
    CLogRecorder recorder;
    {
        CSettings settings(path);
        settings.SetUrl(url);
    }
    EXPECT_NE(recorder.NewText().find(L"Error:\tCannot load user's url\t(last error = 2)"),
              std::wstring::npos);
    EXPECT_EQ(ReadFileBytes(path), Utf16Bytes(url) + std::string(2, '\0'));
    EXPECT_EQ(ReadFileBytes(path).size(), 30u);
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(Loaded(path), url);
}

TEST(Settings, UnwritableFileIsLoggedAndNothingElse)
{
    CScratchFolder folder;
    CLogRecorder recorder;
    {
        CSettings settings(folder / L"missing folder\\user_url");
        settings.SetUrl(L"http://lost.test/");
    }
    EXPECT_NE(recorder.NewText().find(L"Error:\tCannot save user's url\t(last error = 3)"),
              std::wstring::npos);
}

TEST(Settings, DamagedFilesLoadWithinBounds)
{
    const std::wstring longText(5 * 1024 * 1024, L'x');  // 10 MB without a NUL
    const struct
    {
        const char* name;
        std::string bytes;
        std::wstring expected;
    } cases[] = {
        {"empty", "", L""},
        {"no NUL", Utf16Bytes(L"http://a.test/p"), L"http://a.test/p"},
        {"odd length", Utf16Bytes(L"http://a.test/p") + "x", L"http://a.test/p"},
        {"text after the NUL", Utf16Bytes(L"http://a.test/") + std::string(2, '\0') + Utf16Bytes(L"junk"),
         L"http://a.test/"},
        {"single byte", "h", L""},
        {"10 MB", Utf16Bytes(longText), longText.substr(0, CSettings::kMaxUrlLength)},
    };
    CScratchFolder folder;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::wstring path = folder / L"user_url";
        WriteFileBytes(path, c.bytes);
        EXPECT_EQ(Loaded(path), c.expected);
    }
}

TEST(Settings, SavesOnlyAnAddressThisObjectChanged)
{
    // Another instance saves "newer" while this one holds what it loaded.
    const struct
    {
        const char* name;
        const wchar_t* set; // null: SetUrl not called
        const wchar_t* expected;
    } cases[] = {
        {"untouched", nullptr, L"http://a.test/newer"},
        {"set to what was loaded", L"http://a.test/loaded", L"http://a.test/newer"},
        {"changed", L"http://a.test/mine", L"http://a.test/mine"},
    };
    CScratchFolder folder;
    const std::wstring path = folder / L"user_url";
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        WriteFileBytes(path, Utf16Bytes(L"http://a.test/loaded") + std::string(2, '\0'));
        {
            CSettings settings(path);
            WriteFileBytes(path, Utf16Bytes(L"http://a.test/newer") + std::string(2, '\0'));
            if (c.set)
                settings.SetUrl(c.set);
        }
        EXPECT_EQ(Loaded(path), c.expected);
    }
}
