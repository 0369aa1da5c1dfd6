#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "regscan/RegErrors.h"
#include "regscan/RegScan.h"
#include "regscan/RegistryScaner.h"

// A registry key of its own, removed with everything below it when the
// object goes. The path names the key the test writes below; removal starts
// at the topmost key that did not exist before.
class CScratchKey
{
public:
    CScratchKey(HKEY root, const std::wstring& path);
    ~CScratchKey();
    CScratchKey(const CScratchKey&) = delete;
    CScratchKey& operator=(const CScratchKey&) = delete;

    HKEY Root() const { return m_root; }
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& sub) const { return m_path + L"\\" + sub; }

    // Creates the subkey (empty: the scratch key itself) and writes the
    // value's bytes as given.
    void SetBytes(const std::wstring& sub, const std::wstring& name, DWORD type, const std::string& bytes) const;
    // A string value with its terminator.
    void SetString(const std::wstring& sub, const std::wstring& name, const std::wstring& text,
                   DWORD type = REG_SZ) const;
    void CreateKey(const std::wstring& sub) const;

private:
    HKEY m_root;
    std::wstring m_path;
    std::wstring m_removedPath;
};

// A name no other test program uses at the same time.
std::wstring UniqueName(const std::wstring& stem);

// Texts of up to `longest` characters drawn from the alphabet, the same
// ones on every run.
std::vector<std::wstring> RandomTexts(const std::wstring& alphabet, size_t longest, int count);

// The bytes of a wide text, without terminator.
std::string WideBytes(const std::wstring& text);

// Scratch keys below one root, each removed again.
class CPlantedKeys
{
public:
    explicit CPlantedKeys(HKEY root) : m_root(root) {}
    const CScratchKey& Add(const std::wstring& path)
    {
        m_keys.push_back(std::make_unique<CScratchKey>(m_root, path));
        return *m_keys.back();
    }

private:
    HKEY m_root;
    std::vector<std::unique_ptr<CScratchKey>> m_keys;
};

// Creates a file with a little content.
void TouchFile(const std::wstring& path);

// What an error's fixes say about the damage: one item per fix (a group
// gives one for each member).
typedef std::pair<std::wstring, int> FoundError; // location, problem code
std::vector<FoundError> ErrorsOf(RegistryKelvadorLib::CRegErrorContainer& container, int scanType);
// Runs one scan of the type through the scanner and lists its errors.
std::vector<FoundError> RunWholeScan(RegistryKelvadorLib::CRegistryScaner& scanner, int scanType,
                                     RegistryKelvadorLib::ScanCallback callback = nullptr);
// The errors of `after` that `before` does not have, sorted.
std::vector<FoundError> NewErrors(std::vector<FoundError> before, std::vector<FoundError> after);

// True in a 32-bit program on 64-bit Windows, which sees the 32-bit view of
// HKLM\Software and HKEY_CLASSES_ROOT under the 64-bit key names as well as
// under "Wow6432Node".
bool IsWow64Program();

// How often the text occurs in the scanner log of that folder.
int CountInScannerLog(const std::wstring& folder, const std::wstring& text);
