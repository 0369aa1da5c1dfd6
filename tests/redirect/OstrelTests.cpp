#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Folders.h"
#include "testbed/support/OstrelRun.h"

namespace
{
// The Ostrel of this test program's own architecture: a 32-bit test build
// runs the x86 Ostrel, which users of 32-bit Windows get.
COstrelResult Forward(const std::wstring& commandLine)
{
    return RunOstrel(OstrelBuild(sizeof(void*) == 8 ? L"x64" : L"x86"), commandLine);
}

std::wstring NumberedLines(int count)
{
    std::wstring text;
    wchar_t line[32];
    for (int i = 1; i <= count; ++i)
    {
        swprintf(line, 32, L"line %04d\r\n", i);
        text += line;
    }
    return text;
}

std::vector<int> ProgressValues(const std::wstring& text)
{
    std::vector<int> values;
    std::wregex pattern(L"Working: +([0-9]+)%");
    for (std::wsregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it)
        values.push_back(std::stoi((*it)[1].str()));
    return values;
}
}

TEST(Ostrel, ChildThatWritesNothingGivesNoOutputAndItsExitCode)
{
    COstrelResult quiet = Forward(WriterCommand(L"nothing"));
    EXPECT_EQ(0u, quiet.exitCode);
    EXPECT_EQ(L"", quiet.text);

    COstrelResult failing = Forward(WriterCommand(L"exit 7"));
    EXPECT_EQ(7u, failing.exitCode);
    EXPECT_EQ(L"", failing.text);
}

TEST(Ostrel, MissingProgramExitsWithMinusTwoAndWritesNothing)
{
    COstrelResult result = Forward(L"\"" + GetProgramFolder() + L"\\no_such_program.exe\" -a");
    EXPECT_EQ(static_cast<DWORD>(-2), result.exitCode);
    EXPECT_EQ(L"", result.text);
}

TEST(Ostrel, LineEndsAndEmptyLinesBecomeCrLf)
{
    COstrelResult result = Forward(WriterCommand(L"blankline"));
    EXPECT_EQ(0u, result.exitCode);
    EXPECT_EQ(L"abc\r\n\r\ndef\r\n", result.text);
}

// More lines than the console's default 150 rows, written faster than one
// look per second: nothing may be lost, duplicated or reordered.
TEST(Ostrel, BurstOfPrintfLinesArrivesCompleteAndInOrder)
{
    COstrelResult result = Forward(WriterCommand(L"printf 300"));
    EXPECT_EQ(0u, result.exitCode);
    EXPECT_EQ(NumberedLines(300), result.text);
}

TEST(Ostrel, BurstOfWriteFileLinesArrivesCompleteAndInOrder)
{
    COstrelResult result = Forward(WriterCommand(L"writefile 300"));
    EXPECT_EQ(0u, result.exitCode);
    EXPECT_EQ(NumberedLines(300), result.text);
}

// More rows than the tallest console buffer holds, written without a
// pause: the buffer must be emptied while the child keeps writing, and
// not a line may go missing then.
TEST(Ostrel, MoreLinesThanTheBufferHoldsArriveCompleteAndInOrder)
{
    const int lines = 40000;
    COstrelResult result = Forward(WriterCommand(L"stress " + std::to_wstring(lines)));
    EXPECT_EQ(0u, result.exitCode);
    std::wstring expected;
    wchar_t line[32];
    for (int i = 1; i <= lines; ++i)
    {
        swprintf(line, 32, L"line %06d\r\n", i);
        expected += line;
    }
    EXPECT_TRUE(expected == result.text) << "received " << result.text.size() << " of " << expected.size()
                                         << " characters";
}

TEST(Ostrel, LineRedrawnInPlaceIsForwardedAsRisingSnapshots)
{
    COstrelResult result = Forward(WriterCommand(L"progress"));
    EXPECT_EQ(0u, result.exitCode);
    std::vector<int> values = ProgressValues(result.text);
    ASSERT_GE(values.size(), 2u) << result.text.c_str();
    for (size_t i = 1; i < values.size(); ++i)
        EXPECT_LT(values[i - 1], values[i]);
    EXPECT_EQ(100, values.back());
    size_t last = result.text.rfind(L"Working: 100%");
    ASSERT_NE(std::wstring::npos, last);
    EXPECT_EQ(L"Working: 100%\r\ndone\r\n", result.text.substr(last));
}

TEST(Ostrel, NonAsciiTextAndErrorOutputArriveIntact)
{
    COstrelResult unicode = Forward(WriterCommand(L"unicode"));
    EXPECT_EQ(L"Gr\u00fc\u00dfe \u00e4 \u20ac 5\r\n", unicode.text);

    COstrelResult error = Forward(WriterCommand(L"stderr"));
    EXPECT_EQ(L"on stderr\r\n", error.text);
}
