#include <gtest/gtest.h>
#include <climits>
#include <cmath>

#include <memory>
#include <string>
#include <vector>

#include "engine/suite/ResultDocument.h"
#include "base/ScopedHandle.h"
#include "engine/suite/Tester.h"
#include "engine/TesterImpl.h"
#include "engine/XmlWriting.h"
#include "base/Folders.h"
#include "base/StringFormat.h"
#include "shell/Module.h"
#include "tests/engine/Probes.h"
#include "tests/engine/XmlTestSupport.h"
#include "testbed/support/FileBytes.h"

namespace
{
// A test whose run is already over: fixed score and maximum, and a section
// with its score written as the real tests write decimals.
class CFixedScoreTest : public CTesterImpl<CFixedScoreTest>
{
public:
    CFixedScoreTest(std::wstring section, double score, double maxScore) : m_section(std::move(section))
    {
        m_score = score;
        m_maxScore = maxScore;
    }

    void Run() override {}
    double GetScore() override { return m_score; }
    double GetMaxScore() override { return m_maxScore; }
    bool Serialize(CXmlNode& parent, CXmlDocument& document) override
    {
        CXmlNode section;
        return AppendElement(document, parent, m_section, section) &&
               AppendTextElement(document, section, L"scores", FormatText(L"%f", m_score));
    }

private:
    std::wstring m_section;
};

std::wstring DataFile(const wchar_t* name)
{
    return GetAppDataFolder() + L"\\" + name;
}

std::vector<unsigned char> ReadBytes(const std::wstring& path)
{
    const std::string bytes = ReadFileBytes(path);
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

// Hidden, as the program keeps these files.
void WriteBytes(const std::wstring& path, const void* data, DWORD size)
{
    ASSERT_TRUE(WriteFileBytes(path, std::string(static_cast<const char*>(data), size), FILE_ATTRIBUTE_HIDDEN));
}

// The program's own last-score files live in the test prefix's application
// data folder: each case works on them and puts the originals back.
class CSavedFile
{
public:
    explicit CSavedFile(const wchar_t* name) : m_path(DataFile(name))
    {
        m_existed = GetFileAttributesW(m_path.c_str()) != INVALID_FILE_ATTRIBUTES;
        m_bytes = ReadBytes(m_path);
        Remove();
    }
    ~CSavedFile()
    {
        Remove();
        if (m_existed)
            WriteBytes(m_path, m_bytes.data(), static_cast<DWORD>(m_bytes.size()));
    }
    void Remove() const
    {
        SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(m_path.c_str());
    }
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
    bool m_existed = false;
    std::vector<unsigned char> m_bytes;
};
}

class Scoring : public ::testing::Test
{
protected:
    Scoring() { UseScores({}); }

    void UseScores(const std::vector<std::pair<double, double>>& scores)
    {
        tester = std::make_unique<CTester>(1);
        tester->SetHardwareInfo(std::make_unique<CFixedScoreTest>(L"instaled_hardware", 0, 0));
        int index = 0;
        for (const auto& score : scores)
            tester->RegisterTest(
                std::make_unique<CFixedScoreTest>(FormatText(L"test_%d", index++), score.first, score.second));
    }

    CSavedFile lastScore{L"zxq_ls"};
    CSavedFile lastPercentage{L"zxq_lp"};
    std::unique_ptr<CTester> tester;
};

TEST_F(Scoring, TotalsAreRoundedHalfUp)
{
    UseScores({{10.25, 100}, {20.25, 100.4}, {0, 0}});
    EXPECT_EQ(31, tester->CalcTotalScore()); // 30.5 rounds up
    EXPECT_EQ(200, tester->GetTotalMaxScore()); // 200.4 rounds down
    EXPECT_EQ(31, tester->GetTotalScore());

    UseScores({{10.2, 50}, {20.2, 50}});
    EXPECT_EQ(30, tester->CalcTotalScore()); // 30.4 + 0.5 = 30.9, truncated
    EXPECT_DOUBLE_EQ(30.0, tester->GetPercentage());
}

TEST_F(Scoring, PercentageIsZeroWhileEitherTotalIsZero)
{
    UseScores({{0, 400}});
    EXPECT_EQ(0, tester->CalcTotalScore());
    EXPECT_DOUBLE_EQ(0, tester->GetPercentage());

    // Before any run has been scored the maximum is still 0.
    UseScores({{10, 20}});
    EXPECT_DOUBLE_EQ(0, tester->GetPercentage());
}

TEST_F(Scoring, LastScoreIsLoadedAtStartAndRewrittenAtExit)
{
    int stored = 1234;
    WriteBytes(lastScore.Path(), &stored, sizeof(stored));

    tester->CreateTests();
    EXPECT_EQ(1234, tester->GetTotalScore());
    tester.reset(); // exit without a run: the loaded value is written back

    EXPECT_EQ(std::vector<unsigned char>({0xD2, 0x04, 0, 0}), ReadBytes(lastScore.Path()));
    EXPECT_TRUE(GetFileAttributesW(lastScore.Path().c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(Scoring, FinishedRunReplacesTheLastScore)
{
    UseScores({{70, 100}, {17, 100}});
    tester->CreateTests();
    tester->CalcTotalScore();
    tester.reset();

    std::vector<unsigned char> bytes = ReadBytes(lastScore.Path());
    ASSERT_EQ(4u, bytes.size());
    EXPECT_EQ(87, bytes[0]);
}

// One-shot commands and a second instance end before CreateTests: they must
// not replace the user's last score with their 0.
TEST_F(Scoring, ATotalNeitherLoadedNorComputedIsNotSaved)
{
    int stored = 1234;
    WriteBytes(lastScore.Path(), &stored, sizeof(stored));
    tester.reset();
    EXPECT_EQ(std::vector<unsigned char>({0xD2, 0x04, 0, 0}), ReadBytes(lastScore.Path()));

    lastScore.Remove();
    UseScores({});
    tester->CreateTests();
    tester.reset();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(lastScore.Path().c_str()));
}

TEST_F(Scoring, MissingOrShortFilesLeaveValuesAndAreLogged)
{
    const std::wstring missingLine = L"Error:\tCannot load last scores\t(last error = 2)\r\n";
    const std::wstring shortLine = L"Error:\tCannot load last scores\t(last error = 38)\r\n";
    CLogRecorder missingLog;
    tester->CreateTests();
    EXPECT_EQ(0, tester->GetTotalScore());
    EXPECT_EQ(0.0, tester->LoadLastPercentage());
    EXPECT_EQ(2, missingLog.Count(missingLine));

    // Part of each value, with bytes that are not zero: a value half read
    // would not come out as 0.
    unsigned char half[] = {0x39, 0x30};
    WriteBytes(lastScore.Path(), half, sizeof(half));
    double full = 87.99;
    WriteBytes(lastPercentage.Path(), &full, 4);
    CLogRecorder shortLog;
    UseScores({});
    tester->CreateTests();
    EXPECT_EQ(0, tester->GetTotalScore());
    EXPECT_EQ(0.0, tester->LoadLastPercentage());
    EXPECT_EQ(2, shortLog.Count(shortLine));
    EXPECT_EQ(0, shortLog.Count(missingLine));

    // Nothing was loaded, so exit leaves the short file as it was.
    tester.reset();
    EXPECT_EQ(std::vector<unsigned char>({0x39, 0x30}), ReadBytes(lastScore.Path()));
}

// Replays of the hostile-input campaign (zxq_ls, zxq_lp): damaged values
// read as nothing loaded, and exit leaves the file alone.
TEST_F(Scoring, DamagedValuesReadAsNothingLoaded)
{
    const int totals[] = {-1, INT_MIN};
    for (int total : totals)
    {
        WriteBytes(lastScore.Path(), &total, sizeof(total));
        UseScores({});
        tester->CreateTests();
        EXPECT_EQ(0, tester->GetTotalScore()) << total;
        tester.reset();
        EXPECT_EQ(sizeof(total), ReadBytes(lastScore.Path()).size());
    }

    UseScores({});
    const double percentages[] = {NAN, INFINITY, -INFINITY, -1, -1e-300, 100.0001, 1e300};
    for (double percentage : percentages)
    {
        WriteBytes(lastPercentage.Path(), &percentage, sizeof(percentage));
        EXPECT_EQ(0.0, tester->LoadLastPercentage()) << percentage;
    }
    const double edges[] = {0, 100};
    for (double percentage : edges)
    {
        WriteBytes(lastPercentage.Path(), &percentage, sizeof(percentage));
        EXPECT_EQ(percentage, tester->LoadLastPercentage());
    }
}

TEST_F(Scoring, PercentageFileKeepsTheFullValue)
{
    UseScores({{8799, 10000}});
    tester->CalcTotalScore();
    tester->SaveLastPercentage();

    EXPECT_EQ(8u, ReadBytes(lastPercentage.Path()).size());
    EXPECT_DOUBLE_EQ(87.99, tester->LoadLastPercentage());
    EXPECT_TRUE(GetFileAttributesW(lastPercentage.Path().c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

class ResultDocument : public XmlTestBase
{
protected:
    void SetUp() override
    {
        tester = std::make_unique<CTester>(1);
        tester->SetHardwareInfo(std::make_unique<CFixedScoreTest>(L"instaled_hardware", 0, 0));
        tester->RegisterTest(std::make_unique<CFixedScoreTest>(L"hdd_test", 4000.5, 5000));
        tester->RegisterTest(std::make_unique<CFixedScoreTest>(L"cpu_test", 4798.25, 5000));
    }

    // Element names and texts of the root's children, in document order.
    static std::vector<std::wstring> Children(const CXmlDocument& document)
    {
        std::vector<std::wstring> children;
        CXmlNode child;
        if (!RootOf(document).GetFirstChild(child))
            return children;
        do
            children.push_back(NameOf(child) + L"=" + TextOf(child));
        while (child.MoveToNextSibling());
        return children;
    }

    CSavedFile lastScore{L"zxq_ls"};
    std::unique_ptr<CTester> tester;
};

TEST_F(ResultDocument, TotalsThenInventoryThenTestsInRunOrder)
{
    CXmlDocument document;
    ASSERT_TRUE(BuildResultDocument(*tester, document));

    EXPECT_EQ(L"tessarin", NameOf(RootOf(document)));
    std::vector<std::wstring> expected = {
        L"total_scores=8799", L"percentage=87", L"max_scores=10000", L"instaled_hardware=0.000000",
        L"hdd_test=4000.500000", L"cpu_test=4798.250000"};
    EXPECT_EQ(expected, Children(document));

    CXmlNode first;
    document.GetDocumentNode(first);
    first.GetFirstChild(first);
    EXPECT_EQ(NODE_PROCESSING_INSTRUCTION, first.GetType());
    EXPECT_EQ(L"version=\"1.0\" encoding=\"UTF-8\"", TextOf(first));
}

TEST_F(ResultDocument, SavedInTheCurrentDirectoryAsWellFormedUtf8)
{
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"tessarin-result-test";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));

    bool saved = BuildAndSendResult(*tester, {g_module.GetUID(), g_module.GetSettings(), g_module.GetMainWindow()});
    std::wstring path = GetResultFilePath();
    std::vector<unsigned char> bytes = ReadBytes(path);
    CXmlDocument reloaded;
    bool loaded = reloaded.Load(path);

    SetCurrentDirectoryW(previous);
    DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());

    ASSERT_TRUE(saved);
    EXPECT_EQ(folder + L"\\result.xml", path);
    ASSERT_GE(bytes.size(), 5u);
    EXPECT_EQ("<?xml", std::string(bytes.begin(), bytes.begin() + 5)); // no byte-order mark
    ASSERT_TRUE(loaded);
    EXPECT_EQ(6u, Children(reloaded).size());
}
