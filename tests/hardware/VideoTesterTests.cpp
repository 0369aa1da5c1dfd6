#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/Messages.h"
#include "hardware/VideoTester.h"
#include "testbed/support/MessageWindow.h"
#include "tests/hardware/HardwareTestSupport.h"

namespace
{
const LONG kMegabyte = 1048576;

std::vector<std::pair<std::wstring, int>> AdaptersOf(const CVideoTester& test)
{
    std::vector<std::pair<std::wstring, int>> adapters;
    for (const auto& adapter : test.GetAdapters())
        adapters.emplace_back(adapter.second.name, adapter.second.capacity);
    return adapters;
}
}

TEST(VideoAdapterMemory, BytesBecomeUnsignedMegabytes)
{
    EXPECT_EQ(AdapterRamMegabytes(CTestValue::Int(256 * kMegabyte)), 256);
    EXPECT_EQ(AdapterRamMegabytes(CTestValue::Int(kMegabyte - 1)), 0);
    // WMI's unsigned 32-bit count arrives as VT_I4: 4294967295 is -1 there.
    EXPECT_EQ(AdapterRamMegabytes(CTestValue::Int(-1)), 4095);
    EXPECT_EQ(AdapterRamMegabytes(CTestValue::UInt(4294967295u)), 4095);
    EXPECT_EQ(AdapterRamMegabytes(CTestValue::UInt(3221225472u)), 3072);
    EXPECT_EQ(AdapterRamMegabytes(CTestValue::Int(static_cast<LONG>(3221225472u))), 3072);
    EXPECT_EQ(AdapterRamMegabytes(CTestValue::Int(static_cast<LONG>(2147483648u))), 2048);
    // What Wine reports for a 4 GB adapter: 4095 MB in bytes.
    EXPECT_EQ(AdapterRamMegabytes(CTestValue::UInt(4293918720u)), 4095);
    EXPECT_EQ(AdapterRamMegabytes(CTestValue::Text(L"536870912")), 512);
}

TEST(VideoAdapterMemory, ValuesThatAreNoNumberCountAsNothing)
{
    EXPECT_EQ(AdapterRamMegabytes(CTestValue::Empty()), 0);
    EXPECT_EQ(AdapterRamMegabytes(CTestValue::Text(L"lots")), 0);
    EXPECT_EQ(AdapterRamMegabytes(CTestValue::IntArray({256 * kMegabyte})), 0);
}

TEST(VideoTesterObjects, SameNameKeepsTheAdapterEnumeratedLast)
{
    CVideoTester test;
    test.AddController(CTestValue::Text(L"Radeon"), CTestValue::Int(128 * kMegabyte), CTestValue::Text(L"VideoController1"));
    test.AddController(CTestValue::Text(L"GeForce"), CTestValue::Int(512 * kMegabyte), CTestValue::Text(L"VideoController2"));
    test.AddController(CTestValue::Text(L"Radeon"), CTestValue::Int(256 * kMegabyte), CTestValue::Text(L"VideoController3"));

    using Adapters = std::vector<std::pair<std::wstring, int>>;
    EXPECT_EQ(AdaptersOf(test), (Adapters{{L"GeForce", 512}, {L"Radeon", 256}}));
    EXPECT_EQ(test.GetScore(), (512 + 256) * 4.0);
    EXPECT_EQ(test.GetMaxScore(), test.GetScore());
}

TEST(VideoTesterObjects, AdapterWithoutMemorySizeIsSkippedSilently)
{
    CVideoTester test;
    CLogRecorder log;
    test.AddController(CTestValue::Text(L"Mirror"), CTestValue::Null(), CTestValue::Text(L"VideoController1"));
    EXPECT_TRUE(test.GetAdapters().empty());
    EXPECT_EQ(log.NewText(), L"");
    EXPECT_EQ(test.GetScore(), 0);
}

TEST(VideoTesterObjects, MissingNameAndIdReadAsEmptyText)
{
    CVideoTester test;
    CLogRecorder log;
    test.AddController(CTestValue::NullText(), CTestValue::Int(64 * kMegabyte), CTestValue::Null());
    test.AddController(CTestValue::Empty(), CTestValue::Int(32 * kMegabyte), CTestValue::NullText());

    using Adapters = std::vector<std::pair<std::wstring, int>>;
    EXPECT_EQ(AdaptersOf(test), (Adapters{{L"", 32}}));
    EXPECT_EQ(log.Count(L"VIDEO TEST: founded video card manufacturer=, capacity=64, id=\r\n"), 1);
    EXPECT_EQ(log.Count(L"VIDEO TEST: founded video card manufacturer=, capacity=32, id=\r\n"), 1);
}

class VideoTesterSection : public ResultDocumentTest
{
protected:
    // Element names and texts in document order, depth first.
    static std::vector<std::wstring> Flatten(const CXmlNode& node)
    {
        std::vector<std::wstring> items;
        CXmlNode child;
        if (!node.GetFirstChild(child))
            return items;
        do
        {
            if (child.GetType() == NODE_TEXT)
            {
                items.push_back(L"'" + TextOf(child) + L"'");
                continue;
            }
            items.push_back(NameOf(child));
            for (const std::wstring& item : Flatten(child))
                items.push_back(item);
        } while (child.MoveToNextSibling());
        return items;
    }
};

TEST_F(VideoTesterSection, WithoutAdaptersOnlyTheScore)
{
    CVideoTester test;
    ASSERT_TRUE(test.Serialize(root, document));
    EXPECT_EQ(Flatten(root), (std::vector<std::wstring>{L"video_test", L"scores", L"'0.000000'"}));
}

TEST_F(VideoTesterSection, AdaptersFollowTheScoreInNameOrder)
{
    CVideoTester test;
    test.AddController(CTestValue::Text(L"Radeon"), CTestValue::UInt(3221225472u), CTestValue::Text(L"VideoController1"));
    test.AddController(CTestValue::Text(L"GeForce"), CTestValue::Int(256 * kMegabyte), CTestValue::Text(L"VideoController2"));
    test.GetScore();

    ASSERT_TRUE(test.Serialize(root, document));
    EXPECT_EQ(Flatten(root),
              (std::vector<std::wstring>{L"video_test", L"scores", L"'13312.000000'", L"video_card", L"card_model",
                                         L"'GeForce'", L"card_capacity", L"'256'", L"video_card", L"card_model",
                                         L"'Radeon'", L"card_capacity", L"'3072'"}));
}

TEST_F(VideoTesterSection, TheScoreWrittenIsTheOneLastComputed)
{
    CVideoTester test;
    test.AddController(CTestValue::Text(L"GeForce"), CTestValue::Int(256 * kMegabyte), CTestValue::Null());
    ASSERT_TRUE(test.Serialize(root, document));
    CXmlNode section, scores;
    ASSERT_TRUE(root.GetChild(L"video_test", section));
    ASSERT_TRUE(section.GetChild(L"scores", scores));
    EXPECT_EQ(TextOf(scores), L"0.000000");
}

TEST_F(VideoTesterSection, FailsWhenTheSectionCannotBeAttached)
{
    CVideoTester test;
    CXmlNode nowhere;
    EXPECT_FALSE(test.Serialize(nowhere, document));
}

TEST_F(VideoTesterSection, RunFindsWinesAdapterAndReportsProgress)
{
    std::vector<std::pair<int, int>> progress; // group, percent
    CMessageWindow window([&progress](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_TEST_PROGRESS)
            progress.emplace_back(HIWORD(lParam), static_cast<int>(wParam));
        return 0;
    });
    CVideoTester test;
    test.SetNotify(window.Handle(), WM_TEST_PROGRESS);
    test.AddController(CTestValue::Text(L"from an earlier run"), CTestValue::Int(kMegabyte), CTestValue::Null());
    CLogRecorder log;

    test.Run();

    ASSERT_FALSE(test.GetAdapters().empty());
    EXPECT_EQ(test.GetAdapters().count(L"from an earlier run"), 0u);
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{4, 0}, {4, 100}}));
    EXPECT_EQ(log.Count(L"VIDEO TEST: begin test"), 1);
    EXPECT_EQ(log.Count(L"VIDEO TEST: founded video card manufacturer="), static_cast<int>(test.GetAdapters().size()));
    EXPECT_EQ(log.Count(L"VIDEO TEST: end test"), 1);
    EXPECT_EQ(log.Count(L"Error:"), 0);
}
