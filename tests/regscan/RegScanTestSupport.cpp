#include "tests/regscan/RegScanTestSupport.h"

#include <shlwapi.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "regscan/RegKey.h"
#include "tests/shell/ShellTestSupport.h"

using namespace RegistryKelvadorLib;

std::vector<std::wstring> RandomTexts(const std::wstring& alphabet, size_t longest, int count)
{
    std::mt19937 random(18);
    std::uniform_int_distribution<size_t> length(0, longest);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::vector<std::wstring> texts;
    for (int index = 0; index < count; ++index)
    {
        std::wstring text(length(random), L' ');
        for (wchar_t& character : text)
            character = alphabet[pick(random)];
        texts.push_back(text);
    }
    return texts;
}

CScratchKey::CScratchKey(HKEY root, const std::wstring& path) : m_root(root), m_path(path)
{
    // The topmost missing key is the one to remove again.
    size_t at = 0;
    do
    {
        at = path.find(L'\\', at + 1);
        std::wstring prefix = path.substr(0, at);
        if (!KeyExists(root, prefix))
        {
            m_removedPath = prefix;
            break;
        }
    } while (at != std::wstring::npos);
    if (m_removedPath.empty())
        m_removedPath = path;
    SHDeleteKeyW(m_root, m_path.c_str());
    CreateKey(L"");
}

CScratchKey::~CScratchKey()
{
    SHDeleteKeyW(m_root, m_removedPath.c_str());
}

void CScratchKey::CreateKey(const std::wstring& sub) const
{
    HKEY key = nullptr;
    std::wstring path = sub.empty() ? m_path : *this / sub;
    if (RegCreateKeyExW(m_root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

void CScratchKey::SetBytes(const std::wstring& sub, const std::wstring& name, DWORD type, const std::string& bytes) const
{
    CreateKey(sub);
    HKEY key = nullptr;
    std::wstring path = sub.empty() ? m_path : *this / sub;
    if (RegOpenKeyExW(m_root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

void CScratchKey::SetString(const std::wstring& sub, const std::wstring& name, const std::wstring& text,
                            DWORD type) const
{
    SetBytes(sub, name, type, WideBytes(text + L'\0'));
}

std::wstring UniqueName(const std::wstring& stem)
{
    static int counter = 0;
    return stem + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
}

std::string WideBytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

void TouchFile(const std::wstring& path)
{
    WriteFileBytes(path, "test");
}

std::vector<FoundError> ErrorsOf(CRegErrorContainer& container, int scanType)
{
    std::vector<FoundError> errors;
    for (const auto& error : container.GetErrors(scanType))
    {
        std::vector<CRegErrorDescription> descriptions;
        if (const CFix* fix = error->GetFix())
            fix->CollectDescriptions(descriptions);
        for (const CRegErrorDescription& description : descriptions)
            errors.push_back({ToLower(description.location), description.problemCode});
    }
    return errors;
}

std::vector<FoundError> RunWholeScan(CRegistryScaner& scanner, int scanType, ScanCallback callback)
{
    CRegErrorContainer container;
    scanner.AddScan(scanType);
    scanner.Scan(&container, callback);
    scanner.ClearScans();
    return ErrorsOf(container, scanType);
}

std::vector<FoundError> NewErrors(std::vector<FoundError> before, std::vector<FoundError> after)
{
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    std::vector<FoundError> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    return added;
}

bool IsWow64Program()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

int CountInScannerLog(const std::wstring& folder, const std::wstring& text)
{
    const std::wstring logged = Utf16Text(ReadFileBytes(folder + L"\\RegScaner.log"));
    int count = 0;
    for (size_t at = logged.find(text); at != std::wstring::npos; at = logged.find(text, at + 1))
        ++count;
    return count;
}
