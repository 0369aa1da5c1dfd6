#include <windows.h>

#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ScopedHandle.h"
#include "net/HardwareId.h"
#include "net/HardwareIdWorker.h"
#include "net/MachineId.h"
#include "net/Md5.h"

namespace
{
using Properties = std::map<std::wstring, std::wstring>;

// Hardware given as texts. A property missing from an object's map stands
// for one WMI cannot give, gives as null or gives as no text: the
// identifier treats them alike. A class named in failing cannot be queried.
class CFakeHardware : public IHardwareSource
{
public:
    std::map<std::wstring, std::vector<Properties>> classes;
    std::wstring failing;

    bool ForEach(const wchar_t* className, const std::function<bool(IHardwareObject&)>& visit) override
    {
        for (const Properties& properties : classes[className])
        {
            CObject object(properties);
            if (!visit(object))
                break;
        }
        return failing != className;
    }

private:
    struct CObject : IHardwareObject
    {
        explicit CObject(const Properties& properties) : properties(properties) {}
        void ReadText(const wchar_t* property, std::wstring& value) override
        {
            auto found = properties.find(property);
            if (found != properties.end())
                value = found->second;
        }
        const Properties& properties;
    };
};

// BIOS, processor, computer system and base board, every property present.
CFakeHardware Machine()
{
    CFakeHardware machine;
    machine.classes[L"Win32_BIOS"] = {{{L"Caption", L"Bios"}, {L"IdentificationCode", L"Ident"}, {L"Version", L"1.02"}}};
    machine.classes[L"Win32_Processor"] = {{{L"Name", L"Cpu"}}};
    machine.classes[L"Win32_ComputerSystem"] = {{{L"Manufacturer", L"Maker"}, {L"Model", L"Model7"}}};
    machine.classes[L"Win32_BaseBoard"] = {{{L"Manufacturer", L"BoardMaker"}, {L"Product", L"Board1"}}};
    return machine;
}

const Properties kCard = {{L"AdapterType", L"Ethernet 802.3"}, {L"PNPDeviceID", L"pci\\VEN_8086&DEV_100E"},
                          {L"ProductName", L"Gigabit"}, {L"MACAddress", L"00:11:22:33:44:55"},
                          {L"Manufacturer", L"Intel"}};

std::wstring IdOf(CFakeHardware hardware)
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

// A source that takes its time to appear, as a slow WMI would.
HardwareSourceFactory SlowMachine(DWORD delayMs, std::wstring processor)
{
    return [delayMs, processor]() -> std::unique_ptr<IHardwareSource> {
        Sleep(delayMs);
        auto machine = std::make_unique<CFakeHardware>(Machine());
        machine->classes[L"Win32_Processor"] = {{{L"Name", processor}}};
        return machine;
    };
}

std::wstring IdOfSlowMachine(const std::wstring& processor)
{
    CFakeHardware machine = Machine();
    machine.classes[L"Win32_Processor"] = {{{L"Name", processor}}};
    return IdOf(machine);
}
}

TEST(MachineIdText, Md5OfUtf16TextAndTheGroupedHexForm)
{
    EXPECT_EQ(L"d41d8cd9-8f00b204-e9800998-ecf8427e", FormatMachineId(Md5OfText(L"")));
    EXPECT_EQ(L"ce1473cf-80c6b3fd-a8e3dfc0-06adc315", FormatMachineId(Md5OfText(L"abc")));
    EXPECT_EQ(L"b790df03-8a415808-5269ffcf-3f962bdb", FormatMachineId(Md5OfText(L"Z\u00fcrich")));
}

TEST(HardwareId, XorsTheDigestsOfTheComponentTexts)
{
    CFakeHardware machine = Machine();
    machine.classes[L"Win32_DiskDrive"] = {{{L"MediaType", L"Fixed hard disk media"}, {L"Caption", L"Disk One"}}};
    machine.classes[L"Win32_NetworkAdapter"] = {kCard};
    EXPECT_EQ(XorOfDigests({L"Bios#&Ident#&1.02", L"Cpu#&Maker#&Model7", L"#&BoardMaker#&Board1", L"Disk One",
                            L"Gigabit#&00:11:22:33:44:55#&Intel"}),
              IdOf(machine));

    // Nothing readable at all still gives an identifier, from the texts
    // carried from one component to the next.
    EXPECT_EQ(XorOfDigests({L"#&#&", L"#&#&#&#&", L"#&#&"}), IdOf(CFakeHardware()));

    for (const wchar_t* className : {L"Win32_BIOS", L"Win32_BaseBoard", L"Win32_NetworkAdapter"})
    {
        machine.failing = className;
        Md5Digest id{};
        EXPECT_FALSE(ComputeHardwareId(machine, id)) << className;
    }
}

TEST(HardwareId, AMissingPropertyKeepsThePreviousText)
{
    CFakeHardware nullCode = Machine();
    nullCode.classes[L"Win32_BIOS"][0].erase(L"IdentificationCode");
    CFakeHardware emptyCode = Machine();
    emptyCode.classes[L"Win32_BIOS"][0][L"IdentificationCode"] = L"";
    EXPECT_EQ(IdOf(emptyCode), IdOf(nullCode));

    CFakeHardware nullVersion = Machine();
    nullVersion.classes[L"Win32_BIOS"][0].erase(L"Version");
    CFakeHardware codeAsVersion = Machine();
    codeAsVersion.classes[L"Win32_BIOS"][0][L"Version"] = L"Ident";
    EXPECT_EQ(IdOf(codeAsVersion), IdOf(nullVersion));

    // A disk without a caption contributes its upper-cased media type.
    CFakeHardware noCaption = Machine();
    noCaption.classes[L"Win32_DiskDrive"] = {{{L"MediaType", L"Fixed hard disk media"}}};
    CFakeHardware typeAsCaption = Machine();
    typeAsCaption.classes[L"Win32_DiskDrive"] = {
        {{L"MediaType", L"Fixed hard disk media"}, {L"Caption", L"FIXED HARD DISK MEDIA"}}};
    EXPECT_EQ(IdOf(typeAsCaption), IdOf(noCaption));
}

TEST(HardwareId, OnlyFixedDisksAndPciEthernetCardsCountAndTwinsCancel)
{
    const std::wstring base = IdOf(Machine());
    const Properties disk = {{L"MediaType", L"Fixed hard disk media"}, {L"Caption", L"Same Disk"}};
    Properties wireless = kCard;
    wireless[L"AdapterType"] = L"Wireless";
    Properties usb = kCard;
    usb[L"PNPDeviceID"] = L"USB\\VID_0B95&PID_7720";

    CFakeHardware twins = Machine();
    twins.classes[L"Win32_DiskDrive"] = {disk, disk};
    twins.classes[L"Win32_NetworkAdapter"] = {kCard, kCard};
    EXPECT_EQ(base, IdOf(twins));

    CFakeHardware ignored = Machine();
    ignored.classes[L"Win32_DiskDrive"] = {{{L"MediaType", L"Removable Media"}, {L"Caption", L"Stick"}}};
    ignored.classes[L"Win32_NetworkAdapter"] = {wireless, usb};
    EXPECT_EQ(base, IdOf(ignored));
}

TEST(MachineId, ComesFromTheWorkerOrIsTheDefault)
{
    EXPECT_EQ(IdOfSlowMachine(L"Quick"), GetMachineId(3, SlowMachine(0, L"Quick")));
    EXPECT_EQ(kDefaultMachineId, GetMachineId(1, [] { return std::unique_ptr<IHardwareSource>(); }));

    // The first worker needs 2.5 s but gets one try (1 s) and the stop wait
    // (1 s). It finishes while the second call waits for its own worker,
    // whose answer comes at the second poll: the late result must not win.
    EXPECT_EQ(kDefaultMachineId, GetMachineId(1, SlowMachine(2500, L"Late")));
    EXPECT_EQ(IdOfSlowMachine(L"Second"), GetMachineId(3, SlowMachine(1500, L"Second")));
}

TEST(MachineId, TheWaitEndsWhenTheWorkerHasFinished)
{
    // The worker's source appears only when the test lets it: the wait
    // must not end before that, and must end once the worker is through,
    // with its answer already there to take.
    struct Case
    {
        const char* name;
        bool hasHardware;
    };
    const Case cases[] = {{"identifier computed", true}, {"no hardware source", false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CScopedHandle letGo(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        const HANDLE gate = letGo.Get();
        const bool hasHardware = c.hasHardware;
        CHardwareIdWorker worker;
        ASSERT_TRUE(worker.Start([gate, hasHardware]() -> std::unique_ptr<IHardwareSource> {
            WaitForSingleObject(gate, INFINITE);
            if (!hasHardware)
                return nullptr;
            return std::make_unique<CFakeHardware>(Machine());
        }));
        EXPECT_FALSE(worker.WaitUntilDone(200));
        SetEvent(gate);
        ASSERT_TRUE(worker.WaitUntilDone(15000));
        Md5Digest id{};
        EXPECT_EQ(hasHardware, worker.TryGet(id));
        if (hasHardware)
            EXPECT_EQ(IdOf(Machine()), FormatMachineId(id));
        worker.Stop();
    }
}

TEST(MachineId, TheRealMachineGivesTheSameIdentifierEveryTime)
{
    // Wine lacks several of the properties, so the read rule runs for real.
    const std::wstring first = GetMachineId(15);
    ASSERT_EQ(35u, first.size());
    EXPECT_EQ(L'-', first[8]);
    EXPECT_EQ(L'-', first[17]);
    EXPECT_EQ(L'-', first[26]);
    EXPECT_NE(kDefaultMachineId, first);
    EXPECT_EQ(first, GetMachineId(15));
}
