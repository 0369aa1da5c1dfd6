#include "regscan/UninstallsScan.h"

#include <regex>
#include <utility>

#include "regscan/FileSeeker.h"
#include "regscan/RegKey.h"
#include "regscan/ScanTypes.h"
#include "regscan/ScannerLog.h"
#include "base/StringFormat.h"

namespace RegistryKelvadorLib
{
namespace
{
const REGSAM kWalkAccess = 0x2001F;
const wchar_t kUserDataKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
const DWORD kUserNameChars = 256;

// A plain existence test, without expansion or search.
bool PlainFileExists(const std::wstring& path)
{
    SearchList unused;
    return FileExists(path, unused, false);
}

std::wstring Trim(const std::wstring& text, wchar_t trimmed)
{
    size_t first = text.find_first_not_of(trimmed);
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(trimmed) - first + 1);
}
}

std::wstring PackedProductCode(const std::wstring& text)
{
    static const std::wregex group(LR"(([\dA-Fa-f]+)(?=[\}-]))", std::regex_constants::ECMAScript);
    std::wstring packed;
    int index = 0;
    for (std::wsregex_iterator match(text.begin(), text.end(), group), end; match != end && index < 5;
         ++match, ++index)
    {
        std::wstring part = match->str(1);
        if (index < 3)
        {
            packed.append(part.rbegin(), part.rend());
            continue;
        }
        for (size_t at = 0; at + 1 < part.size(); at += 2)
            std::swap(part[at], part[at + 1]);
        packed += part;
    }
    return packed;
}

CUninstallsScan::CUninstallsScan() : CRegScan(ScanTypeUninstall)
{
}

void CUninstallsScan::Scan(CRegErrorContainer* container, ScanCallback callback)
{
    WriteScannerLog(L"Start scan Uninstall entries errors.");
    BeginScan(container, callback);
    m_minValueDepth = KeyDepth(m_uninstallKey);
    m_root = HKEY_LOCAL_MACHINE;
    ReportProgress(0, std::wstring());
    ScanKey(m_uninstallKey, 1, 0, 99);
    WriteScannerLog(FormatText(L"End scan Uninstall entries errors. Total errors = %i", ErrorsFound()));
    ReportProgress(100, std::wstring());
}

void CUninstallsScan::ScanValues(HKEY key, const std::wstring& keyPath, DWORD /*valueCount*/, DWORD /*longestName*/,
                                 DWORD longestData, REGSAM /*accessFlags*/)
{
    CRegistryKey entry;
    if (entry.Open(key, std::wstring(), kWalkAccess) != ERROR_SUCCESS)
        return;
    // An entry without a name is not one the user can see: it is not judged.
    std::wstring displayName;
    if (!ReadStringValue(entry.Get(), L"DisplayName", longestData, displayName))
        return;
    if (displayName.empty())
        AddError(std::make_unique<CDeleteKey>(m_root, m_currentKey, ProblemUninstallNoName),
                 L"Uninstall entry has not DisplayName value.");

    std::wstring uninstallString;
    if (!ReadStringValue(entry.Get(), L"UninstallString", longestData, uninstallString))
        return;
    std::wstring arguments;
    std::wstring file = ToLower(SplitCommandLine(uninstallString, arguments));
    if (file.find(L"msiexec.exe") != std::wstring::npos)
    {
        m_pendingFixes.reset();
        if (!CheckMsiUninstall(arguments))
        {
            AddPendingFix(m_currentKey);
            AddError(std::move(m_pendingFixes), DisplayPath(m_root, m_currentKey));
        }
        m_pendingFixes.reset();
        return;
    }
    if (!PlainFileExists(file))
        AddError(std::make_unique<CDeleteKey>(m_root, keyPath, ProblemUninstallProgramMissing),
                 DisplayPath(m_root, keyPath));
}

bool CUninstallsScan::CheckMsiUninstall(std::wstring arguments)
{
    arguments = ToLower(arguments);
    size_t package = arguments.find(L".msi");
    if (package == std::wstring::npos)
        return CheckInstallerProduct(arguments);

    size_t slash = arguments.find(L'/');
    if (slash == std::wstring::npos)
        return true;
    size_t space = arguments.find(L' ', slash);
    size_t packageEnd = package + 4;
    std::wstring path;
    if (space != std::wstring::npos && space + 1 < packageEnd)
        path = Trim(arguments.substr(space + 1, packageEnd - space - 1), L'"');
    return PlainFileExists(path);
}

bool CUninstallsScan::CheckInstallerProduct(const std::wstring& arguments)
{
    CRegistryKey userData;
    if (userData.Open(HKEY_LOCAL_MACHINE, kUserDataKey, KEY_READ) != ERROR_SUCCESS)
        return true;
    for (DWORD index = 0;; ++index)
    {
        wchar_t name[kUserNameChars] = {};
        DWORD nameChars = kUserNameChars;
        LONG result = RegEnumKeyExW(userData.Get(), index, name, &nameChars, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return false;
        if (result == ERROR_SUCCESS &&
            ProductInstalled(arguments, std::wstring(kUserDataKey) + L"\\" + std::wstring(name, nameChars)))
            return true;
    }
}

bool CUninstallsScan::ProductInstalled(const std::wstring& arguments, const std::wstring& userDataKey)
{
    const std::wstring productKey = userDataKey + L"\\Products\\" + PackedProductCode(arguments);
    CRegistryKey properties;
    std::wstring localPackage;
    if (properties.Open(HKEY_LOCAL_MACHINE, productKey + L"\\InstallProperties", KEY_READ | m_extraAccess) ==
        ERROR_SUCCESS)
    {
        KeyCounts counts;
        if (QueryCounts(properties.Get(), counts) == ERROR_SUCCESS)
            ReadStringValue(properties.Get(), L"LocalPackage", counts.longestValueData, localPackage);
    }
    if (!localPackage.empty() && PlainFileExists(localPackage))
        return true;
    AddPendingFix(productKey);
    return false;
}

void CUninstallsScan::AddPendingFix(const std::wstring& keyPath)
{
    if (!m_pendingFixes)
        m_pendingFixes = std::make_unique<CFixContainer>();
    m_pendingFixes->Add(std::make_unique<CDeleteKey>(m_root, keyPath, ProblemUninstallInstallerMissing));
}
}
