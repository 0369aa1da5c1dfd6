#include <windows.h>
#include <string>

#include <gtest/gtest.h>

#include "redirect/CellStream.h"
#include "redirect/ConsoleForwarder.h"

namespace
{
std::wstring Cells(const std::wstring& text, size_t emptyCells)
{
    return text + std::wstring(emptyCells, L'\0');
}

std::wstring AsText(const std::wstring& cells, unsigned width)
{
    std::wstring text;
    AppendCellsAsText(cells.data(), cells.size(), width, text);
    return text;
}
}

TEST(CellStream, EmptyRunsBecomeOneLineBreakPerStartedRow)
{
    // "abc" and the blank rest of an 80-cell row: one break.
    EXPECT_EQ(L"abc\r\n", AsText(Cells(L"abc", 77), 80));
    // An empty row more: one break more.
    EXPECT_EQ(L"abc\r\n\r\ndef", AsText(Cells(L"abc", 157) + L"def", 80));
    // Exactly one row, and one cell more than a row.
    EXPECT_EQ(L"\r\n", AsText(Cells(L"", 80), 80));
    EXPECT_EQ(L"\r\n\r\nx", AsText(Cells(L"", 81) + L"x", 80));
    EXPECT_EQ(L"", AsText(L"", 80));
}

// The forwarder on a screen buffer of this process, written by the test
// itself, so each look happens at a known moment.
class ConsoleForwarderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SECURITY_ATTRIBUTES noInherit = {sizeof(noInherit), nullptr, FALSE};
        m_screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             &noInherit, CONSOLE_TEXTMODE_BUFFER, nullptr);
        // A test program started without a console window of its own (from
        // a terminal or a pipe) cannot make screen buffers: give it one.
        if (m_screen == INVALID_HANDLE_VALUE && (AllocConsole() || (FreeConsole() && AllocConsole())))
            m_screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 &noInherit, CONSOLE_TEXTMODE_BUFFER, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, m_screen) << "no console (is a display running?)";

        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"fwd", 0, m_outputPath);
        m_output = CreateFileW(m_outputPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_TEMPORARY, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, m_output);
        m_forwarder = new CConsoleForwarder(m_screen, m_output);
        ASSERT_TRUE(m_forwarder->Prepare());
    }

    void TearDown() override
    {
        delete m_forwarder;
        if (m_output != INVALID_HANDLE_VALUE)
            CloseHandle(m_output);
        DeleteFileW(m_outputPath);
        if (m_screen != INVALID_HANDLE_VALUE)
            CloseHandle(m_screen);
    }

    void Draw(const std::wstring& text)
    {
        DWORD written = 0;
        WriteConsoleW(m_screen, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }

    void MoveCursor(SHORT x, SHORT y)
    {
        COORD position = {x, y};
        SetConsoleCursorPosition(m_screen, position);
    }

    // Everything forwarded so far.
    std::wstring Forwarded()
    {
        DWORD size = GetFileSize(m_output, nullptr);
        std::wstring text(size / sizeof(wchar_t), L'\0');
        DWORD read = 0;
        SetFilePointer(m_output, 0, nullptr, FILE_BEGIN);
        if (size > 0)
            ReadFile(m_output, &text[0], size, &read, nullptr);
        SetFilePointer(m_output, 0, nullptr, FILE_END);
        return text;
    }

    HANDLE m_screen = INVALID_HANDLE_VALUE;
    HANDLE m_output = INVALID_HANDLE_VALUE;
    wchar_t m_outputPath[MAX_PATH] = {};
    CConsoleForwarder* m_forwarder = nullptr;
};

TEST_F(ConsoleForwarderTest, InPlaceRedrawIsForwardedAgainFromItsLineStart)
{
    Draw(L"Analysis: 10%");
    m_forwarder->Poll();
    // Redrawn to the same length: the cursor ends where it was.
    Draw(L"\rAnalysis: 20%");
    EXPECT_TRUE(m_forwarder->Poll());
    // Seen half-way: the carriage return alone moved the cursor back.
    Draw(L"\r");
    m_forwarder->Poll();
    Draw(L"Analysis: 30%\n");
    m_forwarder->Poll();
    EXPECT_EQ(L"Analysis: 10%Analysis: 20%Analysis: 30%\r\n", Forwarded());
}

// The cells are read a few thousand at a time; one look still forwards
// everything up to the cursor, and an empty run that spans a chunk border
// still gives one break per row.
TEST_F(ConsoleForwarderTest, OneLookForwardsMoreCellsThanOneRead)
{
    std::wstring drawn;
    std::wstring expected;
    for (int row = 0; row < 120; ++row)
    {
        std::wstring text = L"row " + std::to_wstring(row);
        drawn += text + (row % 7 ? L"\n" : L"\n\n");
        expected += text + (row % 7 ? L"\r\n" : L"\r\n\r\n");
    }
    Draw(drawn);
    EXPECT_TRUE(m_forwarder->Poll());
    EXPECT_EQ(expected, Forwarded());
}

TEST_F(ConsoleForwarderTest, CursorMovedToAnEarlierRowForwardsNothingNegative)
{
    Draw(L"one\ntwo\nthree\n");
    m_forwarder->Poll();
    MoveCursor(2, 0);
    m_forwarder->Poll();
    EXPECT_EQ(L"one\r\ntwo\r\nthree\r\non", Forwarded());
    Draw(L"E");
    m_forwarder->Poll();
    EXPECT_EQ(L"one\r\ntwo\r\nthree\r\nonE", Forwarded());
}

TEST_F(ConsoleForwarderTest, RotationEmptiesTheBufferOnlyPastHalfAndKeepsThePartialLine)
{
    Draw(L"early\n");
    m_forwarder->Poll();
    m_forwarder->RotateIfFull();
    Draw(L"late\n");
    m_forwarder->Poll();
    EXPECT_EQ(L"early\r\nlate\r\n", Forwarded());

    std::wstring filler;
    for (int row = 0; row < m_forwarder->GetHeight() / 2; ++row)
        filler += L"x\n";
    Draw(filler + L"abc");
    m_forwarder->Poll();
    m_forwarder->RotateIfFull();

    CONSOLE_SCREEN_BUFFER_INFO info;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(m_screen, &info));
    EXPECT_EQ(0, info.dwCursorPosition.X);
    EXPECT_EQ(0, info.dwCursorPosition.Y);
    Draw(L"def\n\nghi\n");
    m_forwarder->Poll();
    std::wstring text = Forwarded();
    EXPECT_EQ(L"x\r\nabcdef\r\n\r\nghi\r\n", text.substr(text.size() - 18));
}
