#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/HardwareId.h"
#include "net/HardwareIdWorker.h"
#include "net/MachineId.h"
#include "net/Md5.h"

namespace
{
using Properties = std::map<std::wstring, std::wstring>;

// Hardware given as texts: a property that is not in an object's map is
// missing (or null, or not a text, which the identifier treats alike).
class CFakeHardware : public IHardwareSource
{
public:
    CFakeHardware& Add(const std::wstring& className, Properties properties)
    {
        m_classes[className].push_back(std::move(properties));
        return *this;
    }
    CFakeHardware& Fail(const std::wstring& className)
    {
        m_failing.insert(className);
        return *this;
    }

    bool ForEach(const wchar_t* className, const std::function<bool(IHardwareObject&)>& visit) override
    {
        if (m_failing.count(className))
            return false;
        for (const Properties& properties : m_classes[className])
        {
            CObject object(properties);
            if (!visit(object))
                break;
        }
        return true;
    }

private:
    class CObject : public IHardwareObject
    {
    public:
        explicit CObject(const Properties& properties) : m_properties(properties) {}
        void ReadText(const wchar_t* property, std::wstring& value) override
        {
            auto found = m_properties.find(property);
            if (found != m_properties.end())
                value = found->second;
        }

    private:
        const Properties& m_properties;
    };

    std::map<std::wstring, std::vector<Properties>> m_classes;
    std::set<std::wstring> m_failing;
};

// A machine with one of everything and every property present.
CFakeHardware FullMachine()
{
    CFakeHardware hardware;
    hardware.Add(L"Win32_BIOS", {{L"Caption", L"Bios"}, {L"IdentificationCode", L"Ident"}, {L"Version", L"1.02"}})
        .Add(L"Win32_Processor", {{L"Name", L"Cpu"}})
        .Add(L"Win32_ComputerSystem", {{L"Manufacturer", L"Maker"}, {L"Model", L"Model7"}})
        .Add(L"Win32_BaseBoard", {{L"Manufacturer", L"BoardMaker"}, {L"Product", L"Board1"}})
        .Add(L"Win32_DiskDrive", {{L"MediaType", L"Fixed hard disk media"}, {L"Caption", L"Disk One"}})
        .Add(L"Win32_NetworkAdapter", {{L"AdapterType", L"Ethernet 802.3"},
                                       {L"PNPDeviceID", L"pci\\VEN_8086&DEV_100E"},
                                       {L"ProductName", L"Gigabit"},
                                       {L"MACAddress", L"00:11:22:33:44:55"},
                                       {L"Manufacturer", L"Intel"}});
    return hardware;
}

// The three components every machine has, with all properties present.
CFakeHardware BaseMachine()
{
    CFakeHardware hardware;
    hardware.Add(L"Win32_BIOS", {{L"Caption", L"Bios"}, {L"IdentificationCode", L"Ident"}, {L"Version", L"1.02"}})
        .Add(L"Win32_Processor", {{L"Name", L"Cpu"}})
        .Add(L"Win32_ComputerSystem", {{L"Manufacturer", L"Maker"}, {L"Model", L"Model7"}})
        .Add(L"Win32_BaseBoard", {{L"Manufacturer", L"BoardMaker"}, {L"Product", L"Board1"}});
    return hardware;
}

std::wstring IdOf(CFakeHardware& hardware)
{
    Md5Digest id{};
    EXPECT_TRUE(ComputeHardwareId(hardware, id));
    return FormatMachineId(id);
}

std::wstring XorOfDigests(std::initializer_list<std::wstring> texts)
{
    Md5Digest result{};
    for (const std::wstring& text : texts)
    {
        Md5Digest digest = Md5OfText(text);
        for (size_t i = 0; i < result.size(); ++i)
            result[i] ^= digest[i];
    }
    return FormatMachineId(result);
}

std::wstring Hex(const Md5Digest& digest)
{
    std::wstring text = FormatMachineId(digest);
    text.erase(std::remove(text.begin(), text.end(), L'-'), text.end());
    return text;
}

void ExpectMachineIdShape(const std::wstring& id)
{
    ASSERT_EQ(35u, id.size()) << id;
    for (size_t i = 0; i < id.size(); ++i)
    {
        if (i == 8 || i == 17 || i == 26)
            EXPECT_EQ(L'-', id[i]) << id;
        else
            EXPECT_TRUE(iswdigit(id[i]) || (id[i] >= L'a' && id[i] <= L'f')) << id;
    }
}
}

TEST(Md5Test, HashesTheUtf16LittleEndianBytesOfTheText)
{
    EXPECT_EQ(L"d41d8cd98f00b204e9800998ecf8427e", Hex(Md5OfText(L"")));
    EXPECT_EQ(L"ce1473cf80c6b3fda8e3dfc006adc315", Hex(Md5OfText(L"abc")));
    EXPECT_EQ(L"fbca65ea461aec1b25d3a23112b58d0f", Hex(Md5OfText(L"Zentrix #&")));
    EXPECT_EQ(L"b790df038a4158085269ffcf3f962bdb", Hex(Md5OfText(L"Z\u00fcrich")));
}

TEST(MachineIdFormatTest, WritesFourGroupsOfEightLowerCaseDigits)
{
    Md5Digest digest{};
    for (size_t i = 0; i < digest.size(); ++i)
        digest[i] = static_cast<unsigned char>(i * 17);
    EXPECT_EQ(L"00112233-44556677-8899aabb-ccddeeff", FormatMachineId(digest));
    ExpectMachineIdShape(kDefaultMachineId);
}

TEST(HardwareIdTest, XorsTheDigestsOfEveryComponentText)
{
    CFakeHardware machine = FullMachine();
    EXPECT_EQ(XorOfDigests({L"Bios#&Ident#&1.02", L"Cpu#&Maker#&Model7", L"#&BoardMaker#&Board1", L"Disk One",
                            L"Gigabit#&00:11:22:33:44:55#&Intel"}),
              IdOf(machine));

    CFakeHardware bare = BaseMachine();
    EXPECT_EQ(XorOfDigests({L"Bios#&Ident#&1.02", L"Cpu#&Maker#&Model7", L"#&BoardMaker#&Board1"}), IdOf(bare));
}

TEST(HardwareIdTest, AMissingPropertyKeepsThePreviousText)
{
    // Null identification code: nothing was read before it, so it is empty.
    CFakeHardware nullCode;
    nullCode.Add(L"Win32_BIOS", {{L"Caption", L"Bios"}, {L"Version", L"1.02"}});
    CFakeHardware emptyCode;
    emptyCode.Add(L"Win32_BIOS", {{L"Caption", L"Bios"}, {L"IdentificationCode", L""}, {L"Version", L"1.02"}});
    EXPECT_EQ(IdOf(emptyCode), IdOf(nullCode));

    // Null version: the identification code stands in its place.
    CFakeHardware nullVersion;
    nullVersion.Add(L"Win32_BIOS", {{L"Caption", L"Bios"}, {L"IdentificationCode", L"Ident"}});
    CFakeHardware repeatedCode;
    repeatedCode.Add(L"Win32_BIOS", {{L"Caption", L"Bios"}, {L"IdentificationCode", L"Ident"}, {L"Version", L"Ident"}});
    EXPECT_EQ(IdOf(repeatedCode), IdOf(nullVersion));

    // Nothing at all still gives an identifier, from the texts carried along.
    CFakeHardware nothing;
    EXPECT_EQ(XorOfDigests({L"#&#&", L"#&#&#&#&", L"#&#&"}), IdOf(nothing));
}

TEST(HardwareIdTest, OnlyFixedDisksCountAndIdenticalDisksCancel)
{
    CFakeHardware base = BaseMachine();
    const std::wstring withoutDisks = IdOf(base);

    CFakeHardware twins = BaseMachine();
    twins.Add(L"Win32_DiskDrive", {{L"MediaType", L"Fixed hard disk media"}, {L"Caption", L"Same Disk"}})
        .Add(L"Win32_DiskDrive", {{L"MediaType", L"Fixed hard disk media"}, {L"Caption", L"Same Disk"}});
    EXPECT_EQ(withoutDisks, IdOf(twins));

    CFakeHardware removable = BaseMachine();
    removable.Add(L"Win32_DiskDrive", {{L"MediaType", L"Removable Media"}, {L"Caption", L"Stick"}})
        .Add(L"Win32_DiskDrive", {{L"Caption", L"No media type"}});
    EXPECT_EQ(withoutDisks, IdOf(removable));

    // Without a caption the disk contributes its upper-cased media type.
    CFakeHardware noCaption = BaseMachine();
    noCaption.Add(L"Win32_DiskDrive", {{L"MediaType", L"Fixed hard disk media"}});
    CFakeHardware mediaTypeCaption = BaseMachine();
    mediaTypeCaption.Add(L"Win32_DiskDrive",
                         {{L"MediaType", L"Fixed hard disk media"}, {L"Caption", L"FIXED HARD DISK MEDIA"}});
    EXPECT_EQ(IdOf(mediaTypeCaption), IdOf(noCaption));
    EXPECT_NE(withoutDisks, IdOf(noCaption));
}

TEST(HardwareIdTest, OnlyPciEthernetAdaptersCountAndIdenticalCardsCancel)
{
    CFakeHardware base = BaseMachine();
    const std::wstring withoutCards = IdOf(base);

    const Properties card = {{L"AdapterType", L"Ethernet 802.3"},
                             {L"PNPDeviceID", L"PCI\\VEN_10EC&DEV_8168"},
                             {L"ProductName", L"Realtek"},
                             {L"MACAddress", L"00:AA:BB:CC:DD:EE"},
                             {L"Manufacturer", L"Realtek"}};
    CFakeHardware twins = BaseMachine();
    twins.Add(L"Win32_NetworkAdapter", card).Add(L"Win32_NetworkAdapter", card);
    EXPECT_EQ(withoutCards, IdOf(twins));

    Properties wireless = card;
    wireless[L"AdapterType"] = L"Wireless";
    Properties usb = card;
    usb[L"PNPDeviceID"] = L"USB\\VID_0B95&PID_7720";
    CFakeHardware others = BaseMachine();
    others.Add(L"Win32_NetworkAdapter", wireless).Add(L"Win32_NetworkAdapter", usb);
    EXPECT_EQ(withoutCards, IdOf(others));

    CFakeHardware one = BaseMachine();
    one.Add(L"Win32_NetworkAdapter", card);
    EXPECT_NE(withoutCards, IdOf(one));
}

TEST(HardwareIdTest, AFailingQueryGivesNoIdentifier)
{
    for (const wchar_t* className : {L"Win32_BIOS", L"Win32_BaseBoard", L"Win32_NetworkAdapter"})
    {
        CFakeHardware hardware = FullMachine();
        hardware.Fail(className);
        Md5Digest id{};
        EXPECT_FALSE(ComputeHardwareId(hardware, id)) << className;
    }
}

namespace
{
// Hands out a machine after a delay, as a slow WMI would.
HardwareSourceFactory SlowMachine(DWORD delayMs, std::wstring processorName)
{
    return [delayMs, processorName]() -> std::unique_ptr<IHardwareSource> {
        Sleep(delayMs);
        auto hardware = std::make_unique<CFakeHardware>(BaseMachine());
        hardware->Add(L"Win32_Processor", {{L"Name", processorName}});
        return hardware;
    };
}

std::wstring ExpectedIdOfSlowMachine(const std::wstring& processorName)
{
    CFakeHardware hardware = BaseMachine();
    hardware.Add(L"Win32_Processor", {{L"Name", processorName}});
    return IdOf(hardware);
}
}

TEST(MachineIdTest, ComputesTheIdentifierOnTheWorker)
{
    EXPECT_EQ(ExpectedIdOfSlowMachine(L"Quick"), GetMachineId(3, SlowMachine(0, L"Quick")));
    EXPECT_EQ(kDefaultMachineId, GetMachineId(1, [] { return std::unique_ptr<IHardwareSource>(); }));
}

TEST(MachineIdTest, ALateWorkerGivesTheDefaultAndItsResultIsNeverUsed)
{
    // The first worker needs 2.5 s but gets one poll (1 s) and the stop wait
    // (1 s). It finishes while the second call is waiting for its own worker,
    // whose answer comes at the second poll.
    const DWORD start = GetTickCount();
    EXPECT_EQ(kDefaultMachineId, GetMachineId(1, SlowMachine(2500, L"Late")));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 1900u);
    EXPECT_LT(elapsed, 2400u);

    EXPECT_EQ(ExpectedIdOfSlowMachine(L"Second"), GetMachineId(3, SlowMachine(1500, L"Second")));
}

TEST(MachineIdTest, ASecondStartWhileActiveStartsNoOtherWorker)
{
    LONG created = 0;
    HardwareSourceFactory counting = [&created]() -> std::unique_ptr<IHardwareSource> {
        InterlockedIncrement(&created);
        return std::make_unique<CFakeHardware>(BaseMachine());
    };
    CHardwareIdWorker worker;
    ASSERT_TRUE(worker.Start(counting));
    ASSERT_TRUE(worker.Start(counting));
    Md5Digest id{};
    for (int i = 0; i < 200 && !worker.TryGet(id); ++i)
        Sleep(10);
    worker.Stop();
    EXPECT_EQ(1, created);

    // Stopped, it can be started again.
    ASSERT_TRUE(worker.Start(counting));
    worker.Stop();
    EXPECT_EQ(2, created);
}

TEST(MachineIdTest, TheRealMachineGivesTheSameIdentifierEveryTime)
{
    // Under Wine several of the properties are missing or null, so the read
    // rule is exercised here for real.
    const std::wstring first = GetMachineId(15);
    ExpectMachineIdShape(first);
    EXPECT_NE(kDefaultMachineId, first);
    EXPECT_EQ(first, GetMachineId(15));
}
