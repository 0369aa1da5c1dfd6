#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "regscan/RegValue.h"

namespace RegistryKelvadorLib
{
// What a repair would be about. The problem code is kept twice, as stored
// fixes have always carried it.
struct CRegErrorDescription
{
    std::wstring location;
    std::wstring valueName;
    std::wstring data;
    int problemCode = 0;
    int problemCodeCopy = 0;

    CRegErrorDescription() = default;
    CRegErrorDescription(std::wstring location, std::wstring valueName, std::wstring data, int problemCode);
};

// Problem codes of the descriptions.
enum ProblemCode
{
    ProblemComServerMissing = 2,
    ProblemComAppIdMissing = 3,
    ProblemComClassMissing = 4,
    ProblemFontEmpty = 5,
    ProblemFileMissing = 6,
    ProblemUninstallNoName = 7,
    ProblemUninstallProgramMissing = 8,
    ProblemUninstallInstallerMissing = 9,
    ProblemEmptyKey = 10,
    ProblemStartupFileMissing = 11,
    ProblemShortcutTargetMissing = 12,
    ProblemHelpFileMissing = 13,
    ProblemFileReferenceMissing = 14,
    ProblemAssocProgramMissing = 15,
    ProblemAssocClassMissing = 16,
};

class CRegDataSaver;

// The repair of one error. The benchmark only counts errors: no repair is
// ever carried out, and the operations below do nothing but report success.
class CFix
{
public:
    explicit CFix(CRegErrorDescription description) : m_description(std::move(description)) {}
    virtual ~CFix() = default;
    CFix(const CFix&) = delete;
    CFix& operator=(const CFix&) = delete;

    virtual bool Apply() { return true; }
    virtual bool Backup(CRegDataSaver* /*saver*/) { return true; }
    virtual void CollectDescriptions(std::vector<CRegErrorDescription>& descriptions) const
    {
        descriptions.push_back(m_description);
    }

    const CRegErrorDescription& GetDescription() const { return m_description; }

protected:
    CRegErrorDescription m_description;
};

// Several repairs that belong together. It describes itself as its first
// member does.
class CFixContainer : public CFix
{
public:
    CFixContainer() : CFix(CRegErrorDescription()) {}

    void Add(std::unique_ptr<CFix> fix);

    bool Apply() override;
    bool Backup(CRegDataSaver* saver) override;
    void CollectDescriptions(std::vector<CRegErrorDescription>& descriptions) const override;

private:
    std::vector<std::unique_ptr<CFix>> m_fixes;
};

class CDeleteKey : public CFix
{
public:
    CDeleteKey(HKEY root, std::wstring keyPath, int problemCode, std::wstring valueName = std::wstring(),
               std::wstring data = std::wstring());

    HKEY GetRoot() const { return m_root; }
    const std::wstring& GetKeyPath() const { return m_keyPath; }

private:
    HKEY m_root;
    std::wstring m_keyPath;
};

class CDeleteValue : public CFix
{
public:
    CDeleteValue(const CRegValue& value, int problemCode);

private:
    CRegValue m_value;
};

class CDeleteFile : public CFix
{
public:
    explicit CDeleteFile(std::wstring path);

    const std::wstring& GetPath() const { return m_path; }

private:
    std::wstring m_path;
};

// One problem found by a scan, with the repair it would need.
class CRegError
{
public:
    CRegError(int scanType, std::unique_ptr<CFix> fix) : m_scanType(scanType), m_fix(std::move(fix)) {}

    int GetScanType() const { return m_scanType; }
    // May be null.
    const CFix* GetFix() const { return m_fix.get(); }

private:
    int m_scanType;
    int m_reserved = 0;
    std::unique_ptr<CFix> m_fix;
};

// The errors of every scan, grouped by scan type.
class CRegErrorContainer
{
public:
    // A null error is ignored.
    void Add(std::unique_ptr<CRegError> error);
    void Clear();
    size_t GetCount(int scanType) const;
    // The errors of the types 0 to 10.
    size_t GetTotalCount() const;
    // Creates an empty list for a type that has none.
    const std::vector<std::unique_ptr<CRegError>>& GetErrors(int scanType);

private:
    std::map<int, std::vector<std::unique_ptr<CRegError>>> m_errors;
};
}
