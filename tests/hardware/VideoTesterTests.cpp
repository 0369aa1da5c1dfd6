#include <windows.h>
#include <setupapi.h>
#include <devguid.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "base/ComSupport.h"
#include "engine/Messages.h"
#include "hardware/WmiQuery.h"
#include "hardware/WmiValues.h"
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

TEST(VideoAdapterMemory, DriverSizeWinsOverAdapterRam)
{
    const ULONGLONG gigabyte = 1073741824;
    EXPECT_EQ(DriverMemoryMegabytes(12 * gigabyte), 12288);
    EXPECT_EQ(DriverMemoryMegabytes(gigabyte - 1), 1023);
    EXPECT_EQ(DriverMemoryMegabytes(ULLONG_MAX), INT_MAX);

    CVideoTester test;
    test.AddController(CTestValue::Text(L"Big"), CTestValue::Int(-1), CTestValue::Text(L"VideoController1"),
                       16 * gigabyte);
    // The driver's key knows the size where WMI gives none.
    test.AddController(CTestValue::Text(L"Bare"), CTestValue::Null(), CTestValue::Text(L"VideoController2"), gigabyte);
    test.AddController(CTestValue::Text(L"Old"), CTestValue::Int(256 * kMegabyte), CTestValue::Text(L"VideoController3"));
    EXPECT_EQ(AdaptersOf(test), (std::vector<std::pair<std::wstring, int>>{{L"Bare", 1024}, {L"Big", 16384}, {L"Old", 256}}));
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

namespace
{
struct WmiAdapter
{
    std::wstring name;
    std::wstring pnpDeviceId;
};

std::vector<WmiAdapter> WmiAdapters()
{
    CComApartment apartment;
    std::vector<WmiAdapter> adapters;
    CWmiConnection wmi;
    if (wmi.Connect({L"locator", L"connect", L"blanket"}))
        wmi.ForEachObject(L"SELECT * FROM Win32_VideoController", L"query", [&adapters](IWbemClassObject& controller) {
            CVariant name, id;
            GetWmiProperty(controller, L"Name", name);
            GetWmiProperty(controller, L"PNPDeviceID", id);
            adapters.push_back({VariantText(name.Get()), VariantText(id.Get())});
        });
    return adapters;
}

// The display driver's key of the device WMI names, with one value set as
// a Windows 10 driver sets it. Wine's WMI adapter has no device node of its
// own, so one is registered for it (and removed again); a device that
// exists keeps its node and loses only the value.
class CPlantedDriverValue
{
public:
    CPlantedDriverValue(const std::wstring& deviceId, DWORD type, const void* data, DWORD size)
        : m_devices(SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_DISPLAY, nullptr))
    {
        m_device.cbSize = sizeof(m_device);
        if (!SetupDiOpenDeviceInfoW(m_devices, deviceId.c_str(), nullptr, 0, &m_device))
        {
            m_created = SetupDiCreateDeviceInfoW(m_devices, deviceId.c_str(), &GUID_DEVCLASS_DISPLAY, nullptr, nullptr,
                                                 0, &m_device) &&
                        SetupDiRegisterDeviceInfo(m_devices, &m_device, 0, nullptr, nullptr, nullptr);
            if (!m_created)
                return;
        }
        HKEY key = SetupDiCreateDevRegKeyW(m_devices, &m_device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, nullptr, nullptr);
        if (key == INVALID_HANDLE_VALUE)
            return;
        m_planted = RegSetValueExW(key, kValue, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~CPlantedDriverValue()
    {
        if (m_created)
            SetupDiRemoveDevice(m_devices, &m_device);
        else if (m_planted)
        {
            HKEY key = SetupDiOpenDevRegKey(m_devices, &m_device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_SET_VALUE);
            if (key != INVALID_HANDLE_VALUE)
            {
                RegDeleteValueW(key, kValue);
                RegCloseKey(key);
            }
        }
        SetupDiDestroyDeviceInfoList(m_devices);
    }
    CPlantedDriverValue(const CPlantedDriverValue&) = delete;
    CPlantedDriverValue& operator=(const CPlantedDriverValue&) = delete;

    bool Planted() const { return m_planted; }

private:
    static constexpr const wchar_t* kValue = L"HardwareInformation.qwMemorySize";
    HDEVINFO m_devices;
    SP_DEVINFO_DATA m_device = {};
    bool m_created = false;
    bool m_planted = false;
};

int CapacityAfterRun(const std::wstring& name)
{
    CVideoTester test;
    test.Run();
    auto adapter = test.GetAdapters().find(name);
    return adapter == test.GetAdapters().end() ? -1 : adapter->second.capacity;
}
}

// Wine's adapter reports at most 4 GB through "AdapterRAM"; a 12 GB size in
// its driver's key is what the test scores, a malformed one is ignored.
TEST(VideoTesterRun, TwelveGigabytesFromThePlantedDriverKey)
{
    const std::vector<WmiAdapter> adapters = WmiAdapters();
    ASSERT_FALSE(adapters.empty());
    ASSERT_FALSE(adapters[0].pnpDeviceId.empty());
    const int fromWmi = CapacityAfterRun(adapters[0].name);
    EXPECT_GE(fromWmi, 0);
    EXPECT_LE(fromWmi, 4095);

    const ULONGLONG twelveGigabytes = 12ULL << 30;
    {
        CPlantedDriverValue planted(adapters[0].pnpDeviceId, REG_QWORD, &twelveGigabytes, sizeof(twelveGigabytes));
        ASSERT_TRUE(planted.Planted());
        EXPECT_EQ(CapacityAfterRun(adapters[0].name), 12288);
    }
    {
        const DWORD shortValue = 1024;
        CPlantedDriverValue planted(adapters[0].pnpDeviceId, REG_DWORD, &shortValue, sizeof(shortValue));
        ASSERT_TRUE(planted.Planted());
        EXPECT_EQ(CapacityAfterRun(adapters[0].name), fromWmi);
    }
    EXPECT_EQ(CapacityAfterRun(adapters[0].name), fromWmi);
}
