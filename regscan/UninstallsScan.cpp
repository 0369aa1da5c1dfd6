#include "regscan/UninstallsScan.h"

#include <utility>

#include "regscan/FileSeeker.h"
#include "regscan/RegKey.h"
#include "regscan/ScanTypes.h"
#include "regscan/ScannerLog.h"
#include "shell/StringFormat.h"

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

bool IsHexDigit(wchar_t character)
{
    return (character >= L'0' && character <= L'9') || (character >= L'a' && character <= L'f') ||
           (character >= L'A' && character <= L'F');
}
}

std::wstring PackedProductCode(const std::wstring& text)
{
    // The groups are read in one pass over the text: the arguments come from
    // the registry and may be of any length.
    const int kGroups = 5;
    std::wstring packed;
    int groups = 0;
    size_t at = 0;
    while (at < text.size() && groups < kGroups)
    {
        if (!IsHexDigit(text[at]))
        {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < text.size() && IsHexDigit(text[end]))
            ++end;
        // A run counts as a group only where a closing brace or a hyphen
        // follows it.
        if (end < text.size() && (text[end] == L'}' || text[end] == L'-'))
        {
            std::wstring part = text.substr(at, end - at);
            if (groups < 3)
            {
                packed.append(part.rbegin(), part.rend());
            }
            else
            {
                for (size_t pair = 0; pair + 1 < part.size(); pair += 2)
                    std::swap(part[pair], part[pair + 1]);
                packed += part;
            }
            ++groups;
        }
        at = end;
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
    CScopedKey entry;
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
    CScopedKey userData;
    if (userData.Open(HKEY_LOCAL_MACHINE, kUserDataKey, KEY_READ) != ERROR_SUCCESS)
        return true;
    // One subkey for each user; the entry is sound when any of them has the
    // product. A list that cannot be read judges nothing, as one that cannot
    // be opened.
    KeyCounts counts;
    if (QueryCounts(userData.Get(), counts) != ERROR_SUCCESS)
        return true;
    const std::wstring packedCode = PackedProductCode(arguments);
    CSubkeyNames users(userData.Get(), counts.subkeys, kUserNameChars - 1);
    std::wstring user;
    while (users.Next(user))
        if (ProductInstalled(packedCode, std::wstring(kUserDataKey) + L"\\" + user))
            return true;
    return false;
}

bool CUninstallsScan::ProductInstalled(const std::wstring& packedCode, const std::wstring& userDataKey)
{
    const std::wstring productKey = userDataKey + L"\\Products\\" + packedCode;
    CScopedKey properties;
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
