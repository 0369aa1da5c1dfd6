#include "base/OSInfo.h"

#include <cwchar>

#include "base/StringFormat.h"

namespace Utils
{
namespace Info
{

namespace
{
// Suite bits of OSVERSIONINFOEX (not all are declared for Windows XP).
const WORD kSuiteEnterprise = 0x0002;
const WORD kSuiteDatacenter = 0x0080;
const WORD kSuitePersonal = 0x0200;
const WORD kSuiteBlade = 0x0400;
const WORD kSuiteStorageServer = 0x2000;
const WORD kSuiteComputeServer = 0x4000;
const WORD kSuiteHomeServer = 0x8000;

struct ProductEdition
{
    DWORD productType;
    const wchar_t* text;
};

// Editions named after the product type GetProductInfo reports.
const ProductEdition kProductEditions[] = {
    {1, L"Ultimate Edition "},
    {2, L"Home Basic Edition "},
    {3, L"Home Premium Edition "},
    {4, L"Enterprise Edition "},
    {6, L"Business Edition "},
    {7, L"Standard Edition "},
    {8, L"Datacenter Edition "},
    {9, L"Small Business Server "},
    {10, L"Enterprise Edition "},
    {11, L"Starter Edition "},
    {12, L"Datacenter Edition (core installation) "},
    {13, L"Standard Edition (core installation) "},
    {14, L"Enterprise Edition (core installation) "},
    {15, L"Enterprise Edition for Itanium-based Systems "},
    {17, L"Web Server Edition "},
    {18, L"Cluster Server Edition "},
    {25, L"Small Business Server Premium Edition "},
    {48, L"Professional "},
};

struct CurrentProductEdition
{
    DWORD productType;
    const wchar_t* text;
    // Windows 8 and 8.1 named their core editions without "Home"; null: the
    // same text.
    const wchar_t* windows8Text;
};

// Editions of Windows 8 and later, named after the product types that
// GetProductInfo documents (Microsoft Learn, "GetProductInfo function").
const CurrentProductEdition kCurrentProductEditions[] = {
    {0x00000065, L"Home ", L""},                                 // PRODUCT_CORE
    {0x00000062, L"Home N ", L"N "},                             // PRODUCT_CORE_N
    {0x00000063, L"Home China ", L"China "},                     // PRODUCT_CORE_COUNTRYSPECIFIC
    {0x00000064, L"Home Single Language ", L"Single Language "}, // PRODUCT_CORE_SINGLELANGUAGE
    {0x00000030, L"Pro ", nullptr},                              // PRODUCT_PROFESSIONAL
    {0x00000031, L"Pro N ", nullptr},
    {0x00000067, L"Pro with Media Center ", nullptr},
    {0x000000A1, L"Pro for Workstations ", nullptr},
    {0x000000A2, L"Pro for Workstations N ", nullptr},
    {0x000000A4, L"Pro Education ", nullptr},
    {0x000000A5, L"Pro Education N ", nullptr},
    {0x00000079, L"Education ", nullptr},
    {0x0000007A, L"Education N ", nullptr},
    {0x00000004, L"Enterprise ", nullptr},
    {0x0000001B, L"Enterprise N ", nullptr},
    {0x00000046, L"Enterprise E ", nullptr},
    {0x00000048, L"Enterprise Evaluation ", nullptr},
    {0x00000054, L"Enterprise N Evaluation ", nullptr},
    {0x0000007D, L"Enterprise LTSC ", nullptr},                  // PRODUCT_ENTERPRISE_S
    {0x0000007E, L"Enterprise LTSC N ", nullptr},
    {0x00000081, L"Enterprise LTSC Evaluation ", nullptr},
    {0x00000082, L"Enterprise LTSC N Evaluation ", nullptr},
    {0x000000BC, L"IoT Enterprise ", nullptr},
    {0x000000BF, L"IoT Enterprise LTSC ", nullptr},
    {0x0000007B, L"IoT Core ", nullptr},
    {0x00000083, L"IoT Core Commercial ", nullptr},
    {0x00000068, L"Mobile ", nullptr},
    {0x00000085, L"Mobile Enterprise ", nullptr},
    {0x00000001, L"Ultimate ", nullptr},
    {0x0000001C, L"Ultimate N ", nullptr},
    {0x00000002, L"Home Basic ", nullptr},
    {0x00000005, L"Home Basic N ", nullptr},
    {0x00000003, L"Home Premium ", nullptr},
    {0x0000001A, L"Home Premium N ", nullptr},
    {0x00000006, L"Business ", nullptr},
    {0x00000010, L"Business N ", nullptr},
    {0x0000000B, L"Starter ", nullptr},
    {0x0000002F, L"Starter N ", nullptr},
    {0x00000007, L"Standard ", nullptr},                         // PRODUCT_STANDARD_SERVER
    {0x0000000D, L"Standard (core installation) ", nullptr},
    {0x00000024, L"Standard without Hyper-V ", nullptr},
    {0x00000028, L"Standard without Hyper-V (core installation) ", nullptr},
    {0x0000004F, L"Standard Evaluation ", nullptr},
    {0x00000092, L"Standard, Semi-Annual Channel (core installation) ", nullptr},
    {0x00000008, L"Datacenter ", nullptr},                       // PRODUCT_DATACENTER_SERVER
    {0x0000000C, L"Datacenter (core installation) ", nullptr},
    {0x00000025, L"Datacenter without Hyper-V ", nullptr},
    {0x00000027, L"Datacenter without Hyper-V (core installation) ", nullptr},
    {0x00000050, L"Datacenter Evaluation ", nullptr},
    {0x00000091, L"Datacenter, Semi-Annual Channel (core installation) ", nullptr},
    {0x0000000A, L"Enterprise ", nullptr},                       // PRODUCT_ENTERPRISE_SERVER
    {0x0000000E, L"Enterprise (core installation) ", nullptr},
    {0x00000026, L"Enterprise without Hyper-V ", nullptr},
    {0x00000029, L"Enterprise without Hyper-V (core installation) ", nullptr},
    {0x0000000F, L"Enterprise for Itanium-based Systems ", nullptr},
    {0x00000011, L"Web Server ", nullptr},
    {0x0000001D, L"Web Server (core installation) ", nullptr},
    {0x00000012, L"HPC Edition ", nullptr},                      // PRODUCT_CLUSTER_SERVER
    {0x00000040, L"Hyper Core V ", nullptr},
    {0x0000002A, L"Hyper-V Server ", nullptr},
    {0x00000021, L"Foundation ", nullptr},
    {0x00000032, L"Essentials ", nullptr},                       // PRODUCT_SB_SOLUTION_SERVER
    {0x00000009, L"Small Business Server ", nullptr},
    {0x00000019, L"Small Business Server Premium ", nullptr},
    {0x0000003F, L"Small Business Server Premium (core installation) ", nullptr},
    {0x00000033, L"for SB Solutions ", nullptr},
    {0x00000036, L"for SB Solutions EM ", nullptr},
    {0x00000037, L"for SB Solutions EM ", nullptr},
    {0x00000018, L"for Windows Essential Server Solutions ", nullptr},
    {0x00000023, L"without Hyper-V for Windows Essential Server Solutions ", nullptr},
    {0x00000034, L"Solutions Premium ", nullptr},
    {0x00000035, L"Solutions Premium (core installation) ", nullptr},
    {0x0000003B, L"Essential Server Solution Management ", nullptr},
    {0x0000003C, L"Essential Server Solution Additional ", nullptr},
    {0x0000003D, L"Essential Server Solution Management SVC ", nullptr},
    {0x0000003E, L"Essential Server Solution Additional SVC ", nullptr},
    {0x0000001E, L"Essential Business Server Management Server ", nullptr},
    {0x0000001F, L"Essential Business Server Security Server ", nullptr},
    {0x00000020, L"Essential Business Server Messaging Server ", nullptr},
    {0x00000013, L"Storage Server Essentials ", nullptr},        // PRODUCT_HOME_SERVER
    {0x00000022, L"Home Server ", nullptr},                      // PRODUCT_HOME_PREMIUM_SERVER
    {0x00000014, L"Storage Server Express ", nullptr},
    {0x0000002B, L"Storage Server Express (core installation) ", nullptr},
    {0x00000015, L"Storage Server Standard ", nullptr},
    {0x0000002C, L"Storage Server Standard (core installation) ", nullptr},
    {0x00000060, L"Storage Server Standard Evaluation ", nullptr},
    {0x00000016, L"Storage Server Workgroup ", nullptr},
    {0x0000002D, L"Storage Server Workgroup (core installation) ", nullptr},
    {0x0000005F, L"Storage Server Workgroup Evaluation ", nullptr},
    {0x00000017, L"Storage Server Enterprise ", nullptr},
    {0x0000002E, L"Storage Server Enterprise (core installation) ", nullptr},
    {0x00000038, L"MultiPoint Server ", nullptr},                // PRODUCT_SOLUTION_EMBEDDEDSERVER
    {0x0000004C, L"MultiPoint Server Standard ", nullptr},
    {0x0000004D, L"MultiPoint Server Premium ", nullptr},
};

bool Is(const OSVersionFacts& facts, DWORD major, DWORD minor)
{
    return facts.majorVersion == major && facts.minorVersion == minor;
}

bool HasSuite(const OSVersionFacts& facts, WORD bit)
{
    return (facts.suiteMask & bit) != 0;
}

bool IsWorkstation(const OSVersionFacts& facts)
{
    return facts.productType == VER_NT_WORKSTATION;
}

// NT 4.0 whose service pack may really be 6a (a hotfix, not a new CSD text).
bool IsNt4ServicePack6(const OSVersionFacts& facts)
{
    return facts.majorVersion == 4 && _wcsicmp(facts.servicePack.c_str(), L"Service Pack 6") == 0;
}

// The letter 9x puts after a blank in its service-pack text (" C", " A").
wchar_t ServicePackLetter(const OSVersionFacts& facts)
{
    return facts.servicePack.size() > 1 ? facts.servicePack[1] : L'\0';
}

std::wstring Windows9xName(const OSVersionFacts& facts)
{
    wchar_t letter = ServicePackLetter(facts);
    if (Is(facts, 4, 0))
        return std::wstring(L"Microsoft Windows 95 ") + (letter == L'C' || letter == L'B' ? L"OSR2 " : L"");
    if (Is(facts, 4, 10))
        return std::wstring(L"Microsoft Windows 98 ") + (letter == L'A' || letter == L'B' ? L"SE " : L"");
    if (Is(facts, 4, 90))
        return L"Microsoft Windows Millennium Edition\r\n";
    return std::wstring();
}

// The edition of a Vista or 7 system from its GetProductInfo product type.
std::wstring VistaOr7Edition(DWORD productType)
{
    for (const ProductEdition& edition : kProductEditions)
    {
        if (edition.productType == productType)
            return edition.text;
    }
    return std::wstring();
}

// The edition of Windows 8 and later from its GetProductInfo product type;
// windows8 chooses the names of 8 and 8.1, whose core edition had no name.
std::wstring CurrentEdition(DWORD productType, bool windows8)
{
    for (const CurrentProductEdition& edition : kCurrentProductEditions)
    {
        if (edition.productType == productType)
            return windows8 && edition.windows8Text ? edition.windows8Text : edition.text;
    }
    return std::wstring();
}

// Windows 10 and 11, and their servers, all report 10.0: the build tells
// them apart ("Windows 11 version history" and the Windows Server release
// information on Microsoft Learn).
std::wstring Windows10Name(const OSVersionFacts& facts)
{
    const DWORD build = facts.buildNumber & 0xFFFF;
    if (IsWorkstation(facts))
        return build >= 22000 ? L"Microsoft Windows 11 " : L"Microsoft Windows 10 ";
    if (build >= 26100)
        return L"Microsoft Windows Server 2025 ";
    if (build >= 20348)
        return L"Microsoft Windows Server 2022 ";
    if (build >= 17763)
        return L"Microsoft Windows Server 2019 ";
    return L"Microsoft Windows Server 2016 ";
}

std::wstring Windows6Name(const OSVersionFacts& facts)
{
    std::wstring text;
    if (facts.minorVersion == 0)
        text = IsWorkstation(facts) ? L"Microsoft Windows Vista " : L"Microsoft Windows Server 2008 ";
    else if (facts.minorVersion == 1)
        text = IsWorkstation(facts) ? L"Microsoft Windows 7 " : L"Microsoft Windows Server 2008 R2 ";
    else if (facts.minorVersion == 2)
        text = IsWorkstation(facts) ? L"Microsoft Windows 8 " : L"Microsoft Windows Server 2012 ";
    else if (facts.minorVersion == 3)
        text = IsWorkstation(facts) ? L"Microsoft Windows 8.1 " : L"Microsoft Windows Server 2012 R2 ";

    if (facts.productInfoType)
        text += facts.minorVersion <= 1 ? VistaOr7Edition(*facts.productInfoType)
                                        : CurrentEdition(*facts.productInfoType, true);
    return text;
}

std::wstring Windows10Or11Name(const OSVersionFacts& facts)
{
    std::wstring text = Windows10Name(facts);
    if (facts.productInfoType)
        text += CurrentEdition(*facts.productInfoType, false);
    return text;
}

std::wstring Server2003Edition(const OSVersionFacts& facts)
{
    // Compute Cluster Edition exists only for x64, so it is checked before
    // the x64 names.
    if (HasSuite(facts, kSuiteComputeServer))
        return L"Compute Cluster Edition ";
    if (facts.nativeArchitecture == PROCESSOR_ARCHITECTURE_IA64)
    {
        if (HasSuite(facts, kSuiteDatacenter))
            return L"Datacenter Edition for Itanium-based Systems ";
        if (HasSuite(facts, kSuiteEnterprise))
            return L"Enterprise Edition for Itanium-based Systems ";
    }
    else if (facts.nativeArchitecture == PROCESSOR_ARCHITECTURE_AMD64)
    {
        if (HasSuite(facts, kSuiteDatacenter))
            return L"Datacenter x64 Edition ";
        if (HasSuite(facts, kSuiteEnterprise))
            return L"Enterprise x64 Edition ";
        return L"Standard x64 Edition ";
    }
    if (HasSuite(facts, kSuiteDatacenter))
        return L"Datacenter Edition ";
    if (HasSuite(facts, kSuiteEnterprise))
        return L"Enterprise Edition ";
    if (HasSuite(facts, kSuiteBlade))
        return L"Web Edition";
    return L"Standard Edition ";
}

std::wstring Windows52Name(const OSVersionFacts& facts)
{
    std::wstring text;
    if (facts.serverR2 != 0)
        text = L"Windows Server 2003 R2, ";
    else if (HasSuite(facts, kSuiteStorageServer))
        text = L"Windows Storage Server 2003 ";
    else if (HasSuite(facts, kSuiteHomeServer))
        text = L"Windows Home Server ";
    else if (IsWorkstation(facts) && facts.nativeArchitecture == PROCESSOR_ARCHITECTURE_AMD64)
        text = L"Windows XP Professional x64 Edition ";
    else
        text = L"Windows Server 2003, ";

    if (!IsWorkstation(facts))
        text += Server2003Edition(facts);
    return text;
}

std::wstring Windows2000Name(const OSVersionFacts& facts)
{
    std::wstring text = L"Microsoft Windows 2000 ";
    if (IsWorkstation(facts))
        text += L"Professional ";
    else if (HasSuite(facts, kSuiteDatacenter))
        text += L"Datacenter Server ";
    else if (HasSuite(facts, kSuiteEnterprise))
        text += L"Advanced Server ";
    else
        text += L"Server ";
    return text;
}

std::wstring WindowsNt4Name(const OSVersionFacts& facts)
{
    std::wstring text = L"Microsoft Windows NT ";
    if (IsWorkstation(facts))
        text += L"Workstation 4.0 ";
    else if (HasSuite(facts, kSuiteEnterprise))
        text += L"Server 4.0, Enterprise Edition ";
    else
        text += L"Server 4.0 ";
    return text;
}

std::wstring NtNameFromExtendedInfo(const OSVersionFacts& facts)
{
    if (facts.majorVersion == 10 && facts.minorVersion == 0)
        return Windows10Or11Name(facts);
    if (facts.majorVersion == 6)
        return Windows6Name(facts);
    if (Is(facts, 5, 2))
        return Windows52Name(facts);
    if (Is(facts, 5, 1))
        return std::wstring(L"Microsoft Windows XP ") + (HasSuite(facts, kSuitePersonal) ? L"Home Edition " : L"Professional ");
    if (Is(facts, 5, 0))
        return Windows2000Name(facts);
    if (facts.majorVersion <= 4)
        return WindowsNt4Name(facts);
    return std::wstring();
}

std::wstring NtNameFromProductOptions(const OSVersionFacts& facts, const std::wstring& productType)
{
    std::wstring text;
    if (_wcsicmp(productType.c_str(), L"WINNT") == 0)
        text = L"Workstation ";
    else if (_wcsicmp(productType.c_str(), L"LANMANNT") == 0)
        text = L"Server ";
    else if (_wcsicmp(productType.c_str(), L"SERVERNT") == 0)
        text = L"Advanced Server ";
    return text + FormatText(L"%d.%d ", static_cast<int>(facts.majorVersion), static_cast<int>(facts.minorVersion));
}

std::wstring NtBuildLine(const OSVersionFacts& facts)
{
    int build = static_cast<int>(facts.buildNumber & 0xFFFF);
    if (IsNt4ServicePack6(facts) && facts.hasSp6aHotfix)
        return FormatText(L"Service Pack 6a (Build %d)\r\n", build);
    return FormatText(L"%ls (Build %d)\r\n", facts.servicePack.c_str(), build);
}

std::optional<std::wstring> ReadNtProductType()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return std::nullopt;

    // 256 bytes at most (a longer value counts as unreadable), plus a spare
    // terminator: the stored value need not end with one.
    wchar_t value[129] = {};
    DWORD size = 256;
    LONG result = RegQueryValueExW(key, L"ProductType", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(value);
}

bool HasSp6aHotfix()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::optional<DWORD> QueryProductInfoType(DWORD major, DWORD minor)
{
    // Vista and later only, so it is looked up at run time.
    typedef BOOL(WINAPI * GetProductInfoFunction)(DWORD, DWORD, DWORD, DWORD, PDWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC address = kernel ? GetProcAddress(kernel, "GetProductInfo") : nullptr;
    if (!address)
        return std::nullopt;

    auto getProductInfo = reinterpret_cast<GetProductInfoFunction>(reinterpret_cast<void*>(address));
    DWORD productType = 0;
    if (!getProductInfo(major, minor, 0, 0, &productType))
        return std::nullopt;
    return productType;
}

bool QueryVersionFacts(OSVersionFacts& facts)
{
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    facts.hasExtendedInfo = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)) != FALSE;
    if (!facts.hasExtendedInfo)
    {
        version = {};
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
            return false;
    }

    facts.majorVersion = version.dwMajorVersion;
    facts.minorVersion = version.dwMinorVersion;
    facts.buildNumber = version.dwBuildNumber;
    facts.platformId = version.dwPlatformId;
    facts.servicePack = version.szCSDVersion;
    if (facts.hasExtendedInfo)
    {
        facts.suiteMask = version.wSuiteMask;
        facts.productType = version.wProductType;
    }

    SYSTEM_INFO system = {};
    GetNativeSystemInfo(&system);
    facts.nativeArchitecture = system.wProcessorArchitecture;
    facts.serverR2 = GetSystemMetrics(SM_SERVERR2);
    facts.productInfoType = QueryProductInfoType(facts.majorVersion, facts.minorVersion);

    if (facts.platformId == VER_PLATFORM_WIN32_NT)
    {
        if (!facts.hasExtendedInfo)
            facts.ntProductType = ReadNtProductType();
        if (IsNt4ServicePack6(facts))
            facts.hasSp6aHotfix = HasSp6aHotfix();
    }
    return true;
}
}

std::wstring ComposeOSText(const OSVersionFacts& facts)
{
    std::wstring text;
    switch (facts.platformId)
    {
    case VER_PLATFORM_WIN32s:
        text = L"Microsoft Win32s\r\n";
        break;
    case VER_PLATFORM_WIN32_WINDOWS:
        text = Windows9xName(facts);
        break;
    case VER_PLATFORM_WIN32_NT:
        if (facts.hasExtendedInfo)
            text = NtNameFromExtendedInfo(facts) + NtBuildLine(facts);
        else if (facts.ntProductType)
            text = NtNameFromProductOptions(facts, *facts.ntProductType) + NtBuildLine(facts);
        break;
    }
    return text + facts.servicePack;
}

COSInfo::COSInfo()
{
    OSVersionFacts facts;
    if (QueryVersionFacts(facts))
        m_text = ComposeOSText(facts);
}

}
}
