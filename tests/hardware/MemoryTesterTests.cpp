#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "engine/Messages.h"
#include "hardware/HardwareInfo.h"
#include "hardware/MemoryTester.h"
#include "base/StringFormat.h"
#include "testbed/support/FileBytes.h"
#include "testbed/support/HangGuard.h"
#include "testbed/support/MessageWindow.h"
#include "testbed/support/LogRecorder.h"
#include "tests/hardware/HardwareTestSupport.h"
#include "tests/hardware/StandInDriverTest.h"

namespace
{
const wchar_t kGigabyte[] = L"1073741824";

// Capacity, frequency and model of each module.
using Modules = std::vector<std::tuple<int, int, std::wstring>>;

Modules ModulesOf(const std::vector<RamCardInfo>& cards)
{
    Modules modules;
    for (const RamCardInfo& card : cards)
        modules.emplace_back(card.capacity, card.frequency, card.model);
    return modules;
}

std::vector<RamCardInfo> SpdModules(std::initializer_list<int> frequencies)
{
    std::vector<RamCardInfo> modules;
    int slot = 0;
    for (int frequency : frequencies)
        modules.emplace_back(0, frequency, L"0:" + std::to_wstring(slot++));
    return modules;
}
}

TEST(MemoryWmiMerge, WmiCapacitiesGoToTheSpdModulesInOrderAndTheRestIsCut)
{
    std::vector<RamCardInfo> modules = SpdModules({400, 0, 533, 200});
    CWmiModuleMerge merge(modules);
    merge.Add(CTestValue::Text(L"2147483648"), CTestValue::Int(667));
    merge.Add(CTestValue::Text(kGigabyte), CTestValue::Int(800));
    merge.Finish();
    EXPECT_EQ(ModulesOf(modules), (Modules{{2048, 400, L"0:0"}, {1024, 800, L"0:1"}}));
}

TEST(MemoryWmiMerge, ObjectsBeyondTheSpdModulesAreIgnored)
{
    std::vector<RamCardInfo> modules = SpdModules({400});
    CWmiModuleMerge merge(modules);
    merge.Add(CTestValue::Text(kGigabyte), CTestValue::Int(800));
    merge.Add(CTestValue::Text(L"2147483648"), CTestValue::Int(800));
    merge.Finish();
    EXPECT_EQ(ModulesOf(modules), (Modules{{1024, 400, L"0:0"}}));
}

TEST(MemoryWmiMerge, WithoutSpdModulesEveryObjectIsAModuleAtHalfItsSpeed)
{
    std::vector<RamCardInfo> modules;
    CWmiModuleMerge merge(modules);
    CLogRecorder log;
    merge.Add(CTestValue::Text(kGigabyte), CTestValue::Int(667));
    merge.Add(CTestValue::Text(L"536870912"), CTestValue::Null());
    merge.Add(CTestValue::Text(L"4294967296"), CTestValue::Empty()); // what Wine gives: no Speed at all
    merge.Finish();
    EXPECT_EQ(ModulesOf(modules), (Modules{{1024, 333, L""}, {512, 400, L""}, {4096, 400, L""}}));
    EXPECT_EQ(log.Count(ErrorLine(L"MEMORY TEST: memory speed is unknown")), 2);
}

TEST(MemoryWmiMerge, NoObjectsLeaveNoModules)
{
    std::vector<RamCardInfo> modules = SpdModules({400, 533});
    CWmiModuleMerge merge(modules);
    merge.Finish();
    EXPECT_TRUE(modules.empty());
}

TEST(MemoryWmiMerge, CapacityThatIsNoTextReadsAsZero)
{
    const std::pair<const wchar_t*, int> texts[] = {
        {L"1048575", 0}, {L"1048576", 1}, {L"17179869184", 16384}, {L"", 0}, {L"lots", 0}};
    for (const auto& text : texts)
        EXPECT_EQ(ModuleCapacityMegabytes(CTestValue::Text(text.first)), text.second) << text.second;
    EXPECT_EQ(ModuleCapacityMegabytes(CTestValue::Null()), 0);
    EXPECT_EQ(ModuleCapacityMegabytes(CTestValue::NullText()), 0);
    EXPECT_EQ(ModuleCapacityMegabytes(CTestValue::Int(1048576)), 0);
}

TEST(MemoryScore, TermsAreWrappedUnsignedProductsOver400)
{
    EXPECT_EQ(SumOfModuleTerms({RamCardInfo(2048, 400, L"")}), 2048);
    EXPECT_EQ(SumOfModuleTerms({RamCardInfo(1, 399, L""), RamCardInfo(1, 399, L"")}), 0); // no remainder kept
    EXPECT_EQ(SumOfModuleTerms({RamCardInfo(65536, 65536, L"")}), 0);                     // 2^32 wraps to 0
    EXPECT_EQ(SumOfModuleTerms({RamCardInfo(1, -400, L"")}), 10737417);                  // (2^32 - 400) / 400
}

class MemoryTestRun : public StandInDriverTest
{
protected:
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    static void TearDownTestSuite()
    {
        StandInDriverTest::TearDownTestSuite();
        CoUninitialize();
    }

    CHardwareInfo inventory;
    // No pause between the load samples.
    CMemoryTester test{inventory, 0};
};

// Wine reports one Win32_PhysicalMemory object, without a speed: of the
// two modules SPD finds, the first stays and gets its capacity.
TEST_F(MemoryTestRun, SpdModulesInSlotsZeroAndThreeMeetTheWmiObject)
{
    StartMachine({L"piix4", {MODULE_DDR2_800_2GB, MODULE_EMPTY, MODULE_EMPTY, MODULE_DDR_400_512MB}, 0});
    CLogRecorder log;
    test.Run();

    EXPECT_EQ(log.Count(L"MEMORY TEST: found a card id=0, frequency=400\r\n"), 1);
    EXPECT_EQ(log.Count(L"MEMORY TEST: found a card id=3, frequency=200\r\n"), 1);
    EXPECT_EQ(log.Count(L"MEMORY TEST: SPD was read.\r\n"), 2);
    EXPECT_EQ(log.Count(L"MEMORY TEST: end test\r\n"), 1);
    ASSERT_EQ(test.GetModules().size(), 1u);
    const RamCardInfo& module = test.GetModules()[0];
    EXPECT_GT(module.capacity, 0);

    CXmlDocument document;
    CXmlNode root;
    ASSERT_TRUE(document.Create());
    ASSERT_TRUE(document.CreateElement(root, L"tessarin"));
    ASSERT_TRUE(document.AppendChild(root));
    ASSERT_TRUE(test.Serialize(root, document));
    ASSERT_TRUE(inventory.Serialize(root, document));
    std::wstring xml;
    ASSERT_TRUE(document.GetXml(xml));
    const std::wstring expected[] = {
        FormatText(L"<scores>%f</scores>", test.GetScore()),
        FormatText(L"<mem_consumed>%f</mem_consumed>", test.GetMemoryConsumed()),
        FormatText(L"<card_capacity>%d</card_capacity>", module.capacity),
        L"<card_friquency>400</card_friquency>",
        L"<card_model>1:152</card_model>",
        // The inventory lists every module SPD found.
        L"<ram_card_model>1:152</ram_card_model>",
        L"<ram_card_model>2:158</ram_card_model>",
    };
    for (const std::wstring& text : expected)
        EXPECT_NE(xml.find(text), std::wstring::npos) << Narrow(text);
}

// On every chipset the test reads what the datasheet says it should, or
// finds no SMBus and goes on with WMI alone; either way no write reaches
// anything but the controller's host registers.
TEST_F(MemoryTestRun, EachChipsetReadsTheModulesOrReportsNoSMBus)
{
    struct Case
    {
        const wchar_t* machine;
        bool readsSpd;
    };
    const Case cases[] = {{L"piix4", true},       {L"ich5", true},      {L"ich10", true},
                          {L"pch", true},         {L"memory-bar", true}, {L"firmware-busy", true},
                          {L"amd756", false},     {L"acpi-smbus", false}};
    for (const Case& c : cases)
    {
        StartMachine({c.machine, {MODULE_DDR2_800_2GB, MODULE_EMPTY, MODULE_DDR4_2400_8GB}, 0});
        CHardwareInfo cardModels;
        CMemoryTester run{cardModels, 0};
        CLogRecorder log;
        run.Run();
        EXPECT_EQ(log.Count(L"MEMORY TEST: found a card id=0, frequency=400\r\n"), c.readsSpd ? 1 : 0) << c.machine;
        EXPECT_EQ(log.Count(L"MEMORY TEST: found a card id=2, frequency=1200\r\n"), c.readsSpd ? 1 : 0)
            << c.machine;
        ASSERT_EQ(run.GetModules().size(), 1u) << c.machine; // Wine's one Win32_PhysicalMemory object
        EXPECT_EQ(run.GetModules()[0].model, c.readsSpd ? L"1:152" : L"") << c.machine;
        StandInCounts counts;
        ASSERT_TRUE(ReadStandInCounts(counts));
        EXPECT_EQ(counts.foreignWrites, 0u) << c.machine;
        EXPECT_EQ(counts.eepromWrites, 0u) << c.machine;
    }
}

TEST_F(MemoryTestRun, WithoutDriverWmiAloneGivesTheModules)
{
    RemoveDriver();
    CLogRecorder log;
    test.Run();

    ASSERT_EQ(test.GetModules().size(), 1u);
    EXPECT_GT(test.GetModules()[0].capacity, 0);
    EXPECT_EQ(test.GetModules()[0].frequency, 400); // Wine has no speed: 800 / 2
    EXPECT_EQ(test.GetModules()[0].model, L"");
    EXPECT_EQ(log.Count(L"MEMORY TEST: found a card"), 0);
    EXPECT_EQ(log.Count(L"MEMORY TEST: try run WMI \r\n"), 1);
    EXPECT_EQ(log.Count(ErrorLine(L"MEMORY TEST: memory speed is unknown")), 1);
    EXPECT_GE(test.GetMemoryConsumed(), 1);
    EXPECT_LT(test.GetScore(), test.GetMaxScore());
}

TEST_F(MemoryTestRun, CancelDuringSamplingKeepsTheModulesAndNoLoad)
{
    RemoveDriver();
    std::vector<WPARAM> percents;
    CMessageWindow window([this, &percents](UINT message, WPARAM percent, LPARAM lParam) -> LRESULT {
        if (message == WM_TEST_PROGRESS && HIWORD(lParam) == 3)
        {
            percents.push_back(percent);
            if (percent == 6)
                test.Cancel();
        }
        return 0;
    });
    test.SetNotify(window.Handle(), WM_TEST_PROGRESS);
    CLogRecorder log;
    test.Run();

    EXPECT_EQ(percents, (std::vector<WPARAM>{0, 3, 6}));
    EXPECT_EQ(log.Count(L"MEMORY TEST: cancel test\r\n"), 1);
    EXPECT_EQ(log.Count(L"MEMORY TEST: end test"), 0);
    EXPECT_EQ(test.GetMemoryConsumed(), 0);
    EXPECT_EQ(test.GetModules().size(), 1u);
    EXPECT_GT(test.GetMaxScore(), 0);
    EXPECT_EQ(test.GetScore(), test.GetMaxScore());
}

// Without an SMBus controller the PCI bus is walked once per run, not once
// for each of the hundred slot attempts (which took about an hour through
// the stand-in).
TEST_F(MemoryTestRun, WithoutControllerWmiAloneGivesTheModules)
{
    StartMachine({L"none", {MODULE_DDR2_800_2GB, MODULE_DDR3_1333_4GB}, 0});
    CLogRecorder log;
    {
        CHangGuard guard("a memory test without an SMBus controller", 5 * 60 * 1000);
        test.Run();
    }
    ASSERT_EQ(test.GetModules().size(), 1u);
    EXPECT_EQ(test.GetModules()[0].model, L"");
    EXPECT_EQ(log.Count(L"MEMORY TEST: found a card"), 0);
    EXPECT_EQ(log.Count(L"MEMORY TEST: end test\r\n"), 1);
}

// A cancel that arrives before the slots are tried ends the test before
// the first one.
TEST_F(MemoryTestRun, CancelBeforeTheSlotsEndsTheTestAtOnce)
{
    StartMachine({L"piix4", {MODULE_DDR2_800_2GB}, 0});
    CMessageWindow window([this](UINT message, WPARAM percent, LPARAM) -> LRESULT {
        if (message == WM_TEST_PROGRESS && percent == 0)
            test.Cancel();
        return 0;
    });
    test.SetNotify(window.Handle(), WM_TEST_PROGRESS);
    CLogRecorder log;
    test.Run();

    EXPECT_EQ(log.Count(L"MEMORY TEST: cancel test\r\n"), 1);
    EXPECT_EQ(log.Count(L"MEMORY TEST: SPD was read."), 0);
    EXPECT_EQ(log.Count(L"MEMORY TEST: try run WMI"), 0);
    EXPECT_TRUE(test.GetModules().empty());
}
