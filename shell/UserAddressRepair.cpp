#include "shell/UserAddressRepair.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "base/ScopedHandle.h"
#include "net/Deployment.h"
#include "net/Settings.h"

namespace
{
bool ContainsIgnoringCase(const std::wstring& text, const std::wstring& part)
{
    auto equal = [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); };
    return std::search(text.begin(), text.end(), part.begin(), part.end(), equal) != text.end();
}
}

std::wstring MoveOffOldDomain(const std::wstring& url)
{
    const size_t schemeEnd = url.find(L"://");
    if (schemeEnd == std::wstring::npos)
        return url;
    const size_t hostStart = schemeEnd + 3;
    const size_t pathStart = std::min(url.find(L'/', hostStart), url.size());
    if (!ContainsIgnoringCase(url.substr(hostStart, pathStart - hostStart), kOldCompanyDomain))
        return url;
    return url.substr(0, hostStart) + kWebSiteHost + url.substr(pathStart);
}

void RepairUserAddress(const std::wstring& filePath, CSettings& settings)
{
    CScopedHandle file = AdoptFileHandle(CreateFileW(filePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                     OPEN_EXISTING, FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!file)
        return;
    const std::wstring stored = ReadStoredUrl(file.Get());
    const std::wstring moved = MoveOffOldDomain(stored);
    if (moved != stored)
        settings.SetUrl(moved);
}
