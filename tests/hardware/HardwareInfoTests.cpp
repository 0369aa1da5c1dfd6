#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hardware/HardwareInfo.h"
#include "base/OSInfo.h"
#include "tests/hardware/HardwareTestSupport.h"

using Names = std::vector<std::wstring>;

TEST(HardwareInfoObjects, EveryProcessorObjectCountsAndUnreadableNamesAreLogged)
{
    CHardwareInfo inventory;
    CLogRecorder log;
    inventory.AddProcessor(CTestValue::Text(L"Xeon E5"));
    inventory.AddProcessor(CTestValue::Text(L"Xeon E5"));
    inventory.AddProcessor(CTestValue::NullText());
    inventory.AddProcessor(CTestValue::Null());
    inventory.AddProcessor(CTestValue::Empty());

    EXPECT_EQ(inventory.GetCpuModels(), (Names{L"Xeon E5", L"Xeon E5", L""}));
    EXPECT_EQ(log.Count(ErrorLine(L"HARDWARE INFO TEST: can not get CPU model")), 2);
}

TEST(HardwareInfoObjects, OnlyFixedDisksAreListed)
{
    CHardwareInfo inventory;
    inventory.AddDiskDrive(CTestValue::Text(L"Fixed A"), CTestValue::IntArray({3, 4}));
    inventory.AddDiskDrive(CTestValue::Text(L"USB stick"), CTestValue::IntArray({3, 4, 7}));
    inventory.AddDiskDrive(CTestValue::Text(L"Removable first"), CTestValue::IntArray({7, 3}));
    inventory.AddDiskDrive(CTestValue::Text(L"No capabilities"), CTestValue::IntArray({}));
    inventory.AddDiskDrive(CTestValue::Text(L"Fixed A"), CTestValue::IntArray({3}));

    EXPECT_EQ(inventory.GetHddModels(), (Names{L"Fixed A", L"No capabilities", L"Fixed A"}));
}

TEST(HardwareInfoObjects, DisksWithoutValuesAreSkippedSilentlyAndOddTypesLogged)
{
    CHardwareInfo inventory;
    {
        // Wine cannot give "Capabilities" at all: such disks go unnoticed.
        CLogRecorder log;
        inventory.AddDiskDrive(CTestValue::Null(), CTestValue::IntArray({3}));
        inventory.AddDiskDrive(CTestValue::Text(L"Disk"), CTestValue::Empty());
        inventory.AddDiskDrive(CTestValue::Text(L"Disk"), CTestValue::Null());
        EXPECT_EQ(log.NewText(), L"");
    }
    CLogRecorder log;
    inventory.AddDiskDrive(CTestValue::Text(L"Disk"), CTestValue::TextArray({L"7"}));
    inventory.AddDiskDrive(CTestValue::Text(L"Disk"), CTestValue::Int(3));
    inventory.AddDiskDrive(CTestValue::Int(1), CTestValue::IntArray({3}));

    EXPECT_TRUE(inventory.GetHddModels().empty());
    EXPECT_EQ(log.Count(ErrorLine(L"HARDWARE INFO TEST: can not get HDD model")), 3);
}

TEST(HardwareInfoObjects, NullDiskModelTextReadsAsEmpty)
{
    CHardwareInfo inventory;
    inventory.AddDiskDrive(CTestValue::NullText(), CTestValue::IntArray({3}));
    EXPECT_EQ(inventory.GetHddModels(), Names{L""});
}

TEST(HardwareInfoObjects, AdapterNamesWithMemoryCountOnceInAscendingOrder)
{
    CHardwareInfo inventory;
    inventory.AddVideoController(CTestValue::Text(L"Radeon"), CTestValue::Int(268435456));
    inventory.AddVideoController(CTestValue::Text(L"GeForce"), CTestValue::Int(536870912));
    inventory.AddVideoController(CTestValue::Text(L"Radeon"), CTestValue::Int(1073741824));
    inventory.AddVideoController(CTestValue::Text(L"Mirror driver"), CTestValue::Null());
    inventory.AddVideoController(CTestValue::NullText(), CTestValue::Int(0));

    EXPECT_EQ(inventory.GetVideoCardModels(), (Names{L"", L"GeForce", L"Radeon"}));
}

TEST(HardwareInfoOsCode, WindowsFamilies)
{
    struct Case
    {
        DWORD platform, major, minor;
        const wchar_t* code;
    };
    const Case cases[] = {
        {VER_PLATFORM_WIN32_NT, 3, 51, L"x"}, {VER_PLATFORM_WIN32_NT, 4, 0, L"x"},
        {VER_PLATFORM_WIN32_NT, 5, 0, L"x"},  {VER_PLATFORM_WIN32_NT, 5, 1, L"x"},
        {VER_PLATFORM_WIN32_NT, 5, 2, L"x"},  {VER_PLATFORM_WIN32_NT, 6, 0, L"v"},
        {VER_PLATFORM_WIN32_NT, 6, 1, L"s"},  {VER_PLATFORM_WIN32_NT, 6, 2, L""},
        {VER_PLATFORM_WIN32_NT, 6, 3, L""},   {VER_PLATFORM_WIN32_NT, 10, 0, L""},
        {VER_PLATFORM_WIN32_NT, 5, 3, L""},   {VER_PLATFORM_WIN32_WINDOWS, 4, 10, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OsCodeFor(c.platform, c.major, c.minor), c.code) << c.major << "." << c.minor;
}

class HardwareInfoInWine : public ResultDocumentTest
{
protected:
    static Names ChildNames(const CXmlNode& node)
    {
        Names names;
        CXmlNode child;
        if (!node.GetFirstChild(child))
            return names;
        do
            names.push_back(NameOf(child));
        while (child.MoveToNextSibling());
        return names;
    }

    static std::wstring ChildText(const CXmlNode& node, const std::wstring& name)
    {
        CXmlNode child;
        return node.GetChild(name, child) ? TextOf(child) : L"<missing>";
    }
};

TEST_F(HardwareInfoInWine, RunListsTheMachinesProcessorsAndAdapters)
{
    CHardwareInfo inventory;
    inventory.AddRamCardModel(L"left from the last run");
    CLogRecorder log;
    inventory.Run();
    inventory.Run();

    ASSERT_FALSE(inventory.GetCpuModels().empty());
    EXPECT_NE(inventory.GetCpuModels().front(), L"");
    EXPECT_FALSE(inventory.GetVideoCardModels().empty());
    EXPECT_EQ(log.Count(L"HARDWARE INFO TEST: begin test"), 2);
    EXPECT_EQ(log.Count(L"Error:"), 0) << std::string(log.NewText().begin(), log.NewText().end());

    ASSERT_TRUE(inventory.Serialize(root, document));
    CXmlNode section;
    ASSERT_TRUE(root.GetChild(L"instaled_hardware", section));
    std::vector<CXmlNode> processors;
    ASSERT_TRUE(section.GetChildren(L"cpu_model", processors));
    EXPECT_EQ(processors.size(), inventory.GetCpuModels().size());
    std::vector<CXmlNode> memory;
    ASSERT_TRUE(section.GetChildren(L"ram_card_model", memory));
    EXPECT_TRUE(memory.empty());
}

TEST_F(HardwareInfoInWine, BatteryAndCdRomAnswerWithoutErrors)
{
    // Wine has neither device.
    CHardwareInfo inventory;
    CLogRecorder log;
    EXPECT_FALSE(inventory.HasBattery());
    EXPECT_TRUE(inventory.HasNoBattery());
    EXPECT_FALSE(inventory.HasCdRom());
    EXPECT_EQ(log.NewText(), L"");
}

TEST_F(HardwareInfoInWine, SectionLayout)
{
    CHardwareInfo inventory;
    inventory.AddProcessor(CTestValue::Text(L"Core 2"));
    inventory.AddProcessor(CTestValue::Text(L"Core 2"));
    inventory.AddDiskDrive(CTestValue::Text(L"WD 500"), CTestValue::IntArray({3, 4}));
    inventory.AddRamCardModel(L"Kingston 2048 MB");
    inventory.AddVideoController(CTestValue::Text(L"Radeon"), CTestValue::Int(268435456));
    inventory.AddVideoController(CTestValue::Text(L"GeForce"), CTestValue::Int(268435456));

    ASSERT_TRUE(inventory.Serialize(root, document));

    ASSERT_EQ(ChildNames(root), Names{L"instaled_hardware"});
    CXmlNode section;
    ASSERT_TRUE(root.GetChild(L"instaled_hardware", section));
    EXPECT_EQ(ChildNames(section),
              (Names{L"cpu_model", L"cpu_model", L"hdd_model", L"ram_card_model", L"video_card_model",
                     L"video_card_model", L"battery", L"cd_rom", L"version_os", L"os", L"lang"}));
    std::vector<CXmlNode> adapters;
    ASSERT_TRUE(section.GetChildren(L"video_card_model", adapters));
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(TextOf(adapters[0]), L"GeForce");
    EXPECT_EQ(TextOf(adapters[1]), L"Radeon");
    EXPECT_EQ(ChildText(section, L"cpu_model"), L"Core 2");
    EXPECT_EQ(ChildText(section, L"hdd_model"), L"WD 500");
    EXPECT_EQ(ChildText(section, L"ram_card_model"), L"Kingston 2048 MB");
    EXPECT_EQ(ChildText(section, L"battery"), L"false");
    EXPECT_EQ(ChildText(section, L"cd_rom"), L"false");
    // Wine's default prefix is Windows 7 SP1.
    EXPECT_EQ(ChildText(section, L"version_os"), Utils::Info::COSInfo().GetText());
    EXPECT_EQ(ChildText(section, L"os"), L"s");
}
