#include <windows.h>
#include <process.h>

#include <regex>
#include <set>

#include <gtest/gtest.h>

#include "base/Folders.h"
#include "base/LogFile.h"
#include "base/OSInfo.h"
#include "tests/shell/ShellTestSupport.h"

namespace
{
const int kCapKB = 128;
const size_t kCapBytes = kCapKB * 1024;
const size_t kKeepBytes = kCapBytes / 2;

// The caller's text of a "yyyy.mm.dd hh:mm:ss text" line.
std::wstring TextOf(const std::wstring& line)
{
    static const std::wregex pattern(LR"(\d{4}\.\d{2}\.\d{2} \d{2}:\d{2}:\d{2} (.*))");
    std::wsmatch match;
    return std::regex_match(line, match, pattern) ? match[1].str() : L"<no log line: " + line + L">";
}

// Old log content of exactly the given size, ending with a whole line:
// numbered lines of lineChars characters, the first one possibly cut.
std::wstring OldLines(size_t bytes, size_t lineChars)
{
    std::wstring text;
    for (int number = 0; text.size() * 2 < bytes; ++number)
    {
        std::wstring line = L"old line " + std::to_wstring(number) + L" ";
        line.resize(lineChars - 2, L'-');
        text += line + L"\r\n";
    }
    return text.substr(text.size() - bytes / 2);
}

class LogFileTest : public ::testing::Test
{
protected:
    // A log whose file holds exactly the given bytes (the start-up line is
    // overwritten).
    std::unique_ptr<CLogFile> LogHolding(const std::string& bytes, int capKB = kCapKB)
    {
        auto log = std::make_unique<CLogFile>(m_scratch.Path(), L"test.log", L"", capKB, 0);
        WriteFileBytes(log->GetPath(), bytes);
        return log;
    }
    static std::wstring Content(const CLogFile& log) { return Utf16Text(ReadFileBytes(log.GetPath())); }

    CScratchFolder m_scratch;
};

TEST_F(LogFileTest, LineIsZeroPaddedLocalTimeAndTextInUtf16WithoutBom)
{
    auto log = LogHolding("");
    SYSTEMTIME before, after;
    ::GetLocalTime(&before);
    log->Write(L"100% %s");
    ::GetLocalTime(&after);

    auto expected = [](const SYSTEMTIME& t) {
        wchar_t stamp[32];
        swprintf(stamp, 32, L"%04d.%02d.%02d %02d:%02d:%02d ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
        return stamp + std::wstring(L"100% %s\r\n");
    };
    std::string bytes = ReadFileBytes(log->GetPath());
    std::wstring text = Utf16Text(bytes);
    EXPECT_EQ(0u, bytes.size() % 2) << "whole UTF-16 units; no BOM since the text starts with a digit";
    EXPECT_TRUE(text == expected(before) || text == expected(after)) << Narrow(text);
}

TEST_F(LogFileTest, StartUpAndShutdownLinesFrameTheLog)
{
    std::wstring path;
    {
        CLogFile log(m_scratch.Path() + L"\\", L"frame.log", L"%h:%M:%s %d.%m.%Y", kCapKB, 0);
        EXPECT_EQ(m_scratch / L"frame.log", log.GetPath()) << "a trailing backslash is not doubled";
        path = log.GetPath();
    }
    std::vector<std::wstring> lines = SplitLines(Utf16Text(ReadFileBytes(path)));
    std::wstring startUp = L"Application start up... File version " + GetFileVersionText(GetProgramPath())
        + L". WinVersion " + Utils::Info::COSInfo().GetText();
    ASSERT_GE(lines.size(), 2u);
    // The Windows description spans two lines.
    EXPECT_EQ(startUp, TextOf(lines[0]) + L"\r\n" + lines[1]);
    EXPECT_EQ(L"Application shutdown...", TextOf(lines.back()));
}

TEST_F(LogFileTest, CapAndKeptTailAreClamped)
{
    struct Case
    {
        int capKB, keepKB, capBytes, keepBytes;
    };
    const Case cases[] = {
        {100, 0, 131072, 65536},             {2000000, 0, 1073741824, 536870912},
        {1024, 0, 1048576, 524288},          {1024, 819, 1048576, 838656},
        {1024, 820, 1048576, 524288},        {1024, -4, 1048576, 524288},
        {1048576, 2000000, 1073741824, 536870912},
    };
    for (const Case& c : cases)
    {
        CLogFile log(m_scratch.Path(), L"clamp.log", L"", c.capKB, c.keepKB);
        EXPECT_EQ(c.capBytes, log.GetCapBytes()) << c.capKB << " KB";
        EXPECT_EQ(c.keepBytes, log.GetKeepBytes()) << c.capKB << " KB, keep " << c.keepKB << " KB";
    }
}

TEST_F(LogFileTest, FileOfExactlyCapBytesIsOnlyAppendedTo)
{
    std::wstring old = OldLines(kCapBytes, 50);
    auto log = LogHolding(Utf16Bytes(old));
    log->AppendLine(L"new");
    std::wstring text = Content(*log);
    EXPECT_EQ(old, text.substr(0, old.size()));
    EXPECT_EQ(L"new", TextOf(SplitLines(text.substr(old.size())).at(0)));
}

TEST_F(LogFileTest, FileOverCapKeepsNewestWholeLinesThenTheNewLine)
{
    struct Case
    {
        const char* name;
        size_t lineChars;
        std::string bytes;
    };
    const Case cases[] = {
        {"tail starts at a line", 64, Utf16Bytes(OldLines(kCapBytes + 256, 64))},
        {"tail starts inside a line", 50, Utf16Bytes(OldLines(kCapBytes + 256, 50))},
        // A stray byte (torn write): the tail starts inside a character.
        {"cap + 1 byte", 50, Utf16Bytes(OldLines(kCapBytes, 50)) + 'A'},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto log = LogHolding(c.bytes);
        log->AppendLine(L"new");

        std::wstring text = Content(*log);
        std::vector<std::wstring> lines = SplitLines(text);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(L"new", TextOf(lines.back()));
        std::wstring kept = text.substr(0, text.size() - lines.back().size() - 2);
        EXPECT_TRUE(StartsWith(kept, L"old line ")) << "starts with a whole line";
        EXPECT_TRUE(EndsWith(Utf16Text(c.bytes), kept)) << "the newest lines, unchanged";
        EXPECT_LE(kept.size() * 2, kKeepBytes);
        EXPECT_GT(kept.size() * 2, kKeepBytes - 2 * c.lineChars * 2) << "only the cut line given up";
    }
}

TEST_F(LogFileTest, TailWithoutLineFeedKeepsOnlyTheNewLine)
{
    auto log = LogHolding(Utf16Bytes(std::wstring(kCapBytes / 2 + 1, L'x')));
    log->AppendLine(L"new");
    std::vector<std::wstring> lines = SplitLines(Content(*log));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(L"new", TextOf(lines[0]));
}

TEST_F(LogFileTest, LineAfterTornWriteStartsOnCharacterBoundary)
{
    auto log = LogHolding(Utf16Bytes(L"before\r\n") + 'A');
    log->AppendLine(L"new");
    std::vector<std::wstring> lines = SplitLines(Content(*log));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(L"before", lines[0]);
    EXPECT_EQ(L"new", TextOf(lines[1]));
}

TEST_F(LogFileTest, DeletedFoldersAreCreatedAgain)
{
    CLogFile log(m_scratch / L"logs\\deeper", L"again.log", L"", kCapKB, 0);
    DeleteTree(m_scratch / L"logs");
    log.Write(L"after deletion");
    std::vector<std::wstring> lines = SplitLines(Content(log));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(L"after deletion", TextOf(lines[0]));
}

TEST_F(LogFileTest, LineIsDroppedWhileAnotherHandleHoldsTheFile)
{
    auto log = LogHolding("");
    HANDLE holder = ::CreateFileW(log->GetPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    log->Write(L"lost");
    ::CloseHandle(holder);
    log->Write(L"kept");
    std::vector<std::wstring> lines = SplitLines(Content(*log));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(L"kept", TextOf(lines[0]));
}

const int kWriters = 8;
const int kLinesPerWriter = 200;

struct WriterJob
{
    CLogFile* log;
    int writer;
};

unsigned __stdcall WriteLines(void* parameter)
{
    const WriterJob& job = *static_cast<WriterJob*>(parameter);
    for (int line = 0; line < kLinesPerWriter; ++line)
        job.log->Write(L"writer " + std::to_wstring(job.writer) + L" line " + std::to_wstring(line));
    return 0;
}

TEST_F(LogFileTest, ConcurrentWritersEachGetWholeLines)
{
    auto log = LogHolding("", 1024);
    WriterJob jobs[kWriters];
    HANDLE threads[kWriters];
    for (int writer = 0; writer < kWriters; ++writer)
    {
        jobs[writer] = {log.get(), writer};
        threads[writer] = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WriteLines, &jobs[writer], 0, nullptr));
        ASSERT_NE(nullptr, threads[writer]);
    }
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForMultipleObjects(kWriters, threads, TRUE, 120000));
    for (HANDLE thread : threads)
        ::CloseHandle(thread);

    std::set<std::wstring> texts;
    for (const std::wstring& line : SplitLines(Content(*log)))
        texts.insert(TextOf(line));
    EXPECT_EQ(static_cast<size_t>(kWriters * kLinesPerWriter), texts.size());
    EXPECT_EQ(1u, texts.count(L"writer 7 line 199"));
}
}
