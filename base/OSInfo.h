#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace Utils
{
namespace Info
{

// The facts the Windows description is composed from, as Windows reports
// them. Kept apart from the queries so that any version can be described.
struct OSVersionFacts
{
    DWORD majorVersion = 0;
    DWORD minorVersion = 0;
    DWORD buildNumber = 0;
    DWORD platformId = 0;
    std::wstring servicePack;

    // Only filled when the extended version information was available.
    bool hasExtendedInfo = false;
    WORD suiteMask = 0;
    BYTE productType = 0;

    WORD nativeArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    int serverR2 = 0;                        // GetSystemMetrics(SM_SERVERR2)
    std::optional<DWORD> productInfoType;    // GetProductInfo, Vista and later

    // NT without extended information: the "ProductType" value of
    // ProductOptions, when it could be read.
    std::optional<std::wstring> ntProductType;
    // NT 4.0 SP6: whether the hotfix key of service pack 6a is present.
    bool hasSp6aHotfix = false;
};

// The display text for the given facts: name, edition, service pack and
// build on the first line, the service pack alone after CR LF.
std::wstring ComposeOSText(const OSVersionFacts& facts);

// Describes the Windows the program runs on.
class COSInfo
{
public:
    COSInfo();
    virtual ~COSInfo() = default;

    const std::wstring& GetText() const { return m_text; }

private:
    std::wstring m_text;
};

}
}
