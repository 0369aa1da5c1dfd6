#include "regscan/FileAssocScan.h"

#include <vector>

#include "regscan/ComScan.h"
#include "regscan/FileSeeker.h"
#include "regscan/RegKey.h"
#include "regscan/ScanTypes.h"
#include "regscan/ScannerLog.h"
#include "regscan/TrimText.h"
#include "base/StringFormat.h"

namespace RegistryKelvadorLib
{
namespace
{
const REGSAM kReadAccess = 0x20019;
const REGSAM kWalkAccess = 0x2001F;
const REGSAM kFullAccess = 0xF003F;
// The longest command text that is read; a longer one is not judged.
const DWORD kCommandBytes = 32766;
const DWORD kPerceivedFlagUndefined = 0;

bool StartsWithDot(const std::wstring& keyPath)
{
    return !keyPath.empty() && keyPath[0] == L'.';
}
}

bool IsPerceivedTypeUndefined(const std::wstring& extension)
{
    // Looked up at run time: the headers for this Windows version do not
    // declare it.
    typedef HRESULT(WINAPI * GetPerceivedType)(LPCWSTR, int*, DWORD*, LPWSTR*);
    HMODULE shellUtilities = GetModuleHandleW(L"shlwapi.dll");
    if (!shellUtilities)
        shellUtilities = LoadLibraryW(L"shlwapi.dll");
    auto getPerceivedType = shellUtilities ? reinterpret_cast<GetPerceivedType>(reinterpret_cast<void*>(
                                                 GetProcAddress(shellUtilities, "AssocGetPerceivedType")))
                                           : nullptr;
    int type = 0;
    DWORD flags = kPerceivedFlagUndefined;
    if (!getPerceivedType || FAILED(getPerceivedType(extension.c_str(), &type, &flags, nullptr)))
        return false;
    return flags == kPerceivedFlagUndefined;
}

CFileAssocScan::CFileAssocScan() : CRegScan(ScanTypeFileAssoc)
{
}

void CFileAssocScan::Scan(CRegErrorContainer* container, ScanCallback callback)
{
    BeginScan(container, callback);
    WriteScannerLog(L"Begin scan file associations");
    m_root = HKEY_CLASSES_ROOT;
    m_minValueDepth = 0;
    m_currentKey = m_classesKey;
    ReportProgress(0, std::wstring());
    // The values of the root and of every top-level key.
    ScanKey(m_classesKey, 1, 0, 99);
    ReportProgress(100, std::wstring());
    WriteScannerLog(FormatText(L"End scan file associations. Total errors = %i", ErrorsFound()));
}

void CFileAssocScan::CheckValue(CRegValue* value)
{
    if (StartsWithDot(value->GetKeyPath()))
        CheckExtensionValue(*value);
    else if (value->GetValueName().empty())
        CheckClass(value->GetKeyPath());
}

void CFileAssocScan::CheckExtensionValue(const CRegValue& value)
{
    const std::wstring& key = value.GetKeyPath();
    if (value.GetValueName().empty())
    {
        CRegistryKey progId;
        if (progId.Open(m_root, DataAsText(value), kReadAccess) != ERROR_SUCCESS)
            AddError(std::make_unique<CDeleteKey>(m_root, key, ProblemAssocProgramMissing), DisplayPath(m_root, key));
        return;
    }
    if (_wcsicmp(value.GetValueName().c_str(), L"PerceivedType") != 0 ||
        !IsPerceivedTypeUndefined(LastComponent(key)))
        return;
    CRegistryKey association;
    if (association.Open(m_root, FormatText(L"SystemFileAssociations\\%ls", DataAsText(value).c_str()),
                         kWalkAccess) != ERROR_SUCCESS)
        AddError(std::make_unique<CDeleteValue>(value, ProblemAssocClassMissing), DisplayPath(m_root, key));
}

void CFileAssocScan::CheckClass(const std::wstring& classKey)
{
    for (const wchar_t* verb : {L"%ls\\shell\\edit", L"%ls\\shell\\open", L"%ls\\shell\\print"})
        if (!CheckShellVerb(FormatText(verb, classKey.c_str())))
            AddError(std::make_unique<CDeleteKey>(m_root, classKey, ProblemAssocProgramMissing),
                     DisplayPath(m_root, classKey));
}

bool CFileAssocScan::CheckShellVerb(const std::wstring& verbKey) const
{
    // A verb that is missing, or that the user could not repair, is fine.
    CRegistryKey command;
    if (command.Open(m_root, verbKey + L"\\command", kFullAccess) != ERROR_SUCCESS)
        return true;
    // Zero bytes beyond the read size end the text whatever was stored.
    std::vector<BYTE> data(kCommandBytes + sizeof(wchar_t), 0);
    DWORD size = kCommandBytes;
    if (RegQueryValueExW(command.Get(), nullptr, nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS)
        return true;
    std::wstring text = ToLower(reinterpret_cast<const wchar_t*>(data.data()));

    // The program is the text up to its first ".exe", else its first ".dll".
    size_t extension = text.find(L".exe");
    if (extension == std::wstring::npos)
        extension = text.find(L".dll");
    if (extension == std::wstring::npos)
        return true;
    text = TrimText(text.substr(0, extension + 4), L" \"'");
    SearchList searchList;
    return FileExists(text, searchList, true);
}
}
