#include <windows.h>

#include <gtest/gtest.h>

#include "base/Folders.h"
#include "base/OSInfo.h"
#include "testbed/support/OsProbeRun.h"
#include "tests/shell/ShellTestSupport.h"

using Utils::Info::ComposeOSText;
using Utils::Info::OSVersionFacts;

namespace
{
const BYTE kWorkstation = VER_NT_WORKSTATION;
const BYTE kServer = VER_NT_SERVER;
const WORD kX86 = PROCESSOR_ARCHITECTURE_INTEL;
const WORD kX64 = PROCESSOR_ARCHITECTURE_AMD64;
const WORD kIa64 = PROCESSOR_ARCHITECTURE_IA64;
const WORD kEnterprise = VER_SUITE_ENTERPRISE;
const WORD kDatacenter = VER_SUITE_DATACENTER;

OSVersionFacts Facts(DWORD platform, DWORD major, DWORD minor, DWORD build, const wchar_t* servicePack)
{
    OSVersionFacts facts;
    facts.platformId = platform;
    facts.majorVersion = major;
    facts.minorVersion = minor;
    facts.buildNumber = build;
    facts.servicePack = servicePack;
    return facts;
}

// An NT system that gives the extended version information.
OSVersionFacts Nt(DWORD major, DWORD minor, DWORD build, const wchar_t* servicePack, BYTE productType, WORD suite = 0,
                  WORD architecture = kX86, std::optional<DWORD> productInfo = std::nullopt)
{
    OSVersionFacts facts = Facts(VER_PLATFORM_WIN32_NT, major, minor, build, servicePack);
    facts.hasExtendedInfo = true;
    facts.productType = productType;
    facts.suiteMask = suite;
    facts.nativeArchitecture = architecture;
    facts.productInfoType = productInfo;
    return facts;
}

struct Case
{
    const char* name;
    OSVersionFacts facts;
    std::wstring expected;
};

void ExpectTexts(const std::vector<Case>& cases)
{
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, ComposeOSText(c.facts)) << c.name;
}

TEST(ComposeOSText, NtWithExtendedInformation)
{
    const wchar_t* sp1 = L"Service Pack 1";
    const wchar_t* sp2 = L"Service Pack 2";
    OSVersionFacts r2 = Nt(5, 2, 3790, sp2, kServer, kEnterprise);
    r2.serverR2 = 1;
    OSVersionFacts nt4Sp6 = Nt(4, 0, 1381, L"service pack 6", kWorkstation);
    OSVersionFacts nt4Sp6a = nt4Sp6;
    nt4Sp6a.hasSp6aHotfix = true;
    ExpectTexts({
        {"7 Ultimate", Nt(6, 1, 7601, sp1, kWorkstation, 0x100, kX64, 1),
         L"Microsoft Windows 7 Ultimate Edition Service Pack 1 (Build 7601)\r\nService Pack 1"},
        {"7 Professional", Nt(6, 1, 7601, sp1, kWorkstation, 0, kX86, 48),
         L"Microsoft Windows 7 Professional Service Pack 1 (Build 7601)\r\nService Pack 1"},
        {"Vista, unknown product", Nt(6, 0, 6002, sp2, kWorkstation, 0, kX86, 28),
         L"Microsoft Windows Vista Service Pack 2 (Build 6002)\r\nService Pack 2"},
        {"2008 core", Nt(6, 0, 6001, sp1, kServer, 0, kX64, 12),
         L"Microsoft Windows Server 2008 Datacenter Edition (core installation) Service Pack 1 (Build 6001)\r\nService Pack 1"},
        {"2008 R2 domain controller", Nt(6, 1, 0x20001DB1, L"", VER_NT_DOMAIN_CONTROLLER, 0, kX64, 10),
         L"Microsoft Windows Server 2008 R2 Enterprise Edition  (Build 7601)\r\n"},
        {"XP Home", Nt(5, 1, 2600, L"Service Pack 3", kWorkstation, VER_SUITE_PERSONAL),
         L"Microsoft Windows XP Home Edition Service Pack 3 (Build 2600)\r\nService Pack 3"},
        {"XP Professional", Nt(5, 1, 2600, sp2, kWorkstation),
         L"Microsoft Windows XP Professional Service Pack 2 (Build 2600)\r\nService Pack 2"},
        {"XP x64", Nt(5, 2, 3790, sp2, kWorkstation, 0, kX64),
         L"Windows XP Professional x64 Edition Service Pack 2 (Build 3790)\r\nService Pack 2"},
        {"2003", Nt(5, 2, 3790, sp2, kServer), L"Windows Server 2003, Standard Edition Service Pack 2 (Build 3790)\r\nService Pack 2"},
        {"2003 Datacenter", Nt(5, 2, 3790, sp2, kServer, kDatacenter | kEnterprise),
         L"Windows Server 2003, Datacenter Edition Service Pack 2 (Build 3790)\r\nService Pack 2"},
        {"2003 Web", Nt(5, 2, 3790, sp2, kServer, VER_SUITE_BLADE),
         L"Windows Server 2003, Web EditionService Pack 2 (Build 3790)\r\nService Pack 2"},
        {"2003 R2", r2, L"Windows Server 2003 R2, Enterprise Edition Service Pack 2 (Build 3790)\r\nService Pack 2"},
        {"Storage Server", Nt(5, 2, 3790, sp2, kServer, 0x2000),
         L"Windows Storage Server 2003 Standard Edition Service Pack 2 (Build 3790)\r\nService Pack 2"},
        {"Home Server", Nt(5, 2, 3790, sp2, kServer, 0x8000),
         L"Windows Home Server Standard Edition Service Pack 2 (Build 3790)\r\nService Pack 2"},
        {"2003 x64", Nt(5, 2, 3790, sp2, kServer, 0, kX64),
         L"Windows Server 2003, Standard x64 Edition Service Pack 2 (Build 3790)\r\nService Pack 2"},
        {"2003 x64 Enterprise", Nt(5, 2, 3790, sp2, kServer, kEnterprise, kX64),
         L"Windows Server 2003, Enterprise x64 Edition Service Pack 2 (Build 3790)\r\nService Pack 2"},
        {"Compute Cluster", Nt(5, 2, 3790, sp1, kServer, 0x4000, kX64),
         L"Windows Server 2003, Compute Cluster Edition Service Pack 1 (Build 3790)\r\nService Pack 1"},
        {"2003 Itanium", Nt(5, 2, 3790, sp2, kServer, kDatacenter, kIa64),
         L"Windows Server 2003, Datacenter Edition for Itanium-based Systems Service Pack 2 (Build 3790)\r\nService Pack 2"},
        {"2000 Professional", Nt(5, 0, 2195, L"Service Pack 4", kWorkstation),
         L"Microsoft Windows 2000 Professional Service Pack 4 (Build 2195)\r\nService Pack 4"},
        {"2000 Advanced Server", Nt(5, 0, 2195, L"", kServer, kEnterprise),
         L"Microsoft Windows 2000 Advanced Server  (Build 2195)\r\n"},
        {"NT 4.0 Workstation", Nt(4, 0, 1381, L"Service Pack 6a", kWorkstation),
         L"Microsoft Windows NT Workstation 4.0 Service Pack 6a (Build 1381)\r\nService Pack 6a"},
        {"NT 4.0 Enterprise", Nt(4, 0, 1381, L"Service Pack 6a", kServer, kEnterprise),
         L"Microsoft Windows NT Server 4.0, Enterprise Edition Service Pack 6a (Build 1381)\r\nService Pack 6a"},
        {"NT 4.0 SP6 + 6a hotfix", nt4Sp6a,
         L"Microsoft Windows NT Workstation 4.0 Service Pack 6a (Build 1381)\r\nservice pack 6"},
        {"NT 4.0 SP6", nt4Sp6, L"Microsoft Windows NT Workstation 4.0 service pack 6 (Build 1381)\r\nservice pack 6"},
    });
}

// Windows 8 and later have no service pack: the text shows two blanks before
// the build. 10.0 is Windows 11 from build 22000; the servers go by build.
TEST(ComposeOSText, Windows8AndLaterWithTheirEditions)
{
    auto current = [](DWORD major, DWORD minor, DWORD build, BYTE productType, DWORD productInfo) {
        return Nt(major, minor, build, L"", productType, 0, kX64, productInfo);
    };
    ExpectTexts({
        {"8 core", current(6, 2, 9200, kWorkstation, 0x65), L"Microsoft Windows 8  (Build 9200)\r\n"},
        {"8.1 core N", current(6, 3, 9600, kWorkstation, 0x62), L"Microsoft Windows 8.1 N  (Build 9600)\r\n"},
        {"8.1 Pro", current(6, 3, 9600, kWorkstation, 0x30), L"Microsoft Windows 8.1 Pro  (Build 9600)\r\n"},
        {"10 Home", current(10, 0, 19045, kWorkstation, 0x65), L"Microsoft Windows 10 Home  (Build 19045)\r\n"},
        {"10, last build before 11", current(10, 0, 21999, kWorkstation, 0x79),
         L"Microsoft Windows 10 Education  (Build 21999)\r\n"},
        {"11 Pro", current(10, 0, 22000, kWorkstation, 0x30), L"Microsoft Windows 11 Pro  (Build 22000)\r\n"},
        {"11 Pro for Workstations", current(10, 0, 22631, kWorkstation, 0xA1),
         L"Microsoft Windows 11 Pro for Workstations  (Build 22631)\r\n"},
        {"11 Enterprise LTSC", current(10, 0, 26100, kWorkstation, 0x7D),
         L"Microsoft Windows 11 Enterprise LTSC  (Build 26100)\r\n"},
        {"11, unknown product", current(10, 0, 26100, kWorkstation, 0xABCDABCD), L"Microsoft Windows 11  (Build 26100)\r\n"},
        {"2012", current(6, 2, 9200, kServer, 0x07), L"Microsoft Windows Server 2012 Standard  (Build 9200)\r\n"},
        {"2012 R2", current(6, 3, 9600, kServer, 0x08), L"Microsoft Windows Server 2012 R2 Datacenter  (Build 9600)\r\n"},
        {"2016", current(10, 0, 14393, kServer, 0x50),
         L"Microsoft Windows Server 2016 Datacenter Evaluation  (Build 14393)\r\n"},
        {"2019", current(10, 0, 17763, VER_NT_DOMAIN_CONTROLLER, 0x07),
         L"Microsoft Windows Server 2019 Standard  (Build 17763)\r\n"},
        {"2022", current(10, 0, 20348, kServer, 0x32), L"Microsoft Windows Server 2022 Essentials  (Build 20348)\r\n"},
        {"2025", current(10, 0, 26100, kServer, 0x08), L"Microsoft Windows Server 2025 Datacenter  (Build 26100)\r\n"},
    });
}

TEST(ComposeOSText, NtWithoutExtendedInformationReadsProductOptions)
{
    auto oldNt = [](std::optional<std::wstring> productType) {
        OSVersionFacts facts = Facts(VER_PLATFORM_WIN32_NT, 4, 0, 1381, L"Service Pack 5");
        facts.ntProductType = productType;
        return facts;
    };
    ExpectTexts({
        {"WinNT", oldNt(L"WinNT"), L"Workstation 4.0 Service Pack 5 (Build 1381)\r\nService Pack 5"},
        {"LanmanNT", oldNt(L"LanmanNT"), L"Server 4.0 Service Pack 5 (Build 1381)\r\nService Pack 5"},
        {"SERVERNT", oldNt(L"SERVERNT"), L"Advanced Server 4.0 Service Pack 5 (Build 1381)\r\nService Pack 5"},
        {"unknown", oldNt(L"Other"), L"4.0 Service Pack 5 (Build 1381)\r\nService Pack 5"},
        {"unreadable", oldNt(std::nullopt), L"Service Pack 5"},
    });
}

TEST(ComposeOSText, Windows9xAndWin32s)
{
    const DWORD w9x = VER_PLATFORM_WIN32_WINDOWS;
    ExpectTexts({
        {"95", Facts(w9x, 4, 0, 950, L""), L"Microsoft Windows 95 "},
        {"95 OSR2", Facts(w9x, 4, 0, 1111, L" B"), L"Microsoft Windows 95 OSR2  B"},
        {"95, one letter", Facts(w9x, 4, 0, 950, L"C"), L"Microsoft Windows 95 C"},
        {"98 SE", Facts(w9x, 4, 10, 2222, L" A"), L"Microsoft Windows 98 SE  A"},
        {"98", Facts(w9x, 4, 10, 1998, L" C"), L"Microsoft Windows 98  C"},
        {"ME", Facts(w9x, 4, 90, 3000, L" "), L"Microsoft Windows Millennium Edition\r\n "},
        {"Win32s", Facts(VER_PLATFORM_WIN32s, 3, 10, 0, L""), L"Microsoft Win32s\r\n"},
    });
}

// Runs a copy of the probe named "os_probe_<version>.exe", which Wine tells
// that Windows version (HKCU\Software\Wine\AppDefaults\<name>\Version), and
// returns the description it wrote.
std::wstring DescriptionUnder(const std::wstring& wineVersion, const CScratchFolder& scratch)
{
    return RunOsProbeUnder(wineVersion, scratch.Path());
}

TEST(COSInfoUnderWine, DefaultPrefixIsWindows7ServicePack1)
{
    std::wstring text = Utils::Info::COSInfo().GetText();
    EXPECT_TRUE(StartsWith(text, L"Microsoft Windows 7 ")) << Narrow(text);
    EXPECT_TRUE(EndsWith(text, L"Service Pack 1 (Build 7601)\r\nService Pack 1")) << Narrow(text);
}

TEST(COSInfoUnderWine, OtherReportedVersionsAreDescribed)
{
    // Wine 8 reports these as workstations, except win2008 and win2003
    // (servers), all on an x64 processor, with the product type "Ultimate N"
    // (which Vista's and 7's editions do not name). The probe carries the
    // main program's manifest: without it Wine, like Windows, would report
    // 8.1 and 10 as 8. The 32-bit test build shows that
    // the x64 names come from the native view: a 32-bit process itself
    // sees an x86 processor.
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"win10", L"Microsoft Windows 10 Ultimate N  (Build 18362)\r\n"},
        {L"win81", L"Microsoft Windows 8.1 Ultimate N  (Build 9600)\r\n"},
        {L"win8", L"Microsoft Windows 8 Ultimate N  (Build 9200)\r\n"},
        {L"vista", L"Microsoft Windows Vista Service Pack 2 (Build 6002)\r\nService Pack 2"},
        {L"win2008", L"Microsoft Windows Server 2008 Standard Edition Service Pack 2 (Build 6002)\r\nService Pack 2"},
        {L"winxp64", L"Windows XP Professional x64 Edition Service Pack 2 (Build 3790)\r\nService Pack 2"},
        {L"win2003", L"Windows Server 2003, Standard x64 Edition Service Pack 2 (Build 3790)\r\nService Pack 2"},
        {L"winxp", L"Microsoft Windows XP Professional Service Pack 3 (Build 2600)\r\nService Pack 3"},
        {L"win2k", L"Microsoft Windows 2000 Professional Service Pack 4 (Build 2195)\r\nService Pack 4"},
        {L"nt40", L"Microsoft Windows NT Workstation 4.0 Service Pack 6a (Build 1381)\r\nService Pack 6a"},
    };
    CScratchFolder scratch;
    for (const auto& [wineVersion, expected] : cases)
        EXPECT_EQ(expected, DescriptionUnder(wineVersion, scratch)) << Narrow(wineVersion);
}
}
