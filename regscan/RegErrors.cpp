#include "regscan/RegErrors.h"

#include "regscan/ScanTypes.h"

namespace RegistryKelvadorLib
{
CRegErrorDescription::CRegErrorDescription(std::wstring location, std::wstring valueName, std::wstring data,
                                           int problemCode)
    : location(std::move(location)),
      valueName(std::move(valueName)),
      data(std::move(data)),
      problemCode(problemCode),
      problemCodeCopy(problemCode)
{
}

void CFixContainer::Add(std::unique_ptr<CFix> fix)
{
    if (!fix)
        return;
    if (m_fixes.empty())
        m_description = fix->GetDescription();
    m_fixes.push_back(std::move(fix));
}

bool CFixContainer::Apply()
{
    bool applied = true;
    for (const auto& fix : m_fixes)
        applied = fix->Apply() && applied;
    return applied;
}

bool CFixContainer::Backup(CRegDataSaver* saver)
{
    bool saved = true;
    for (const auto& fix : m_fixes)
        saved = fix->Backup(saver) && saved;
    return saved;
}

void CFixContainer::CollectDescriptions(std::vector<CRegErrorDescription>& descriptions) const
{
    for (const auto& fix : m_fixes)
        fix->CollectDescriptions(descriptions);
}

CDeleteKey::CDeleteKey(HKEY root, std::wstring keyPath, int problemCode, std::wstring valueName, std::wstring data)
    : CFix(CRegErrorDescription(DisplayPath(root, keyPath), std::move(valueName), std::move(data), problemCode)),
      m_root(root),
      m_keyPath(std::move(keyPath))
{
}

CDeleteValue::CDeleteValue(const CRegValue& value, int problemCode)
    : CFix(CRegErrorDescription(DisplayPath(value.GetRoot(), value.GetKeyPath()), value.GetValueName(),
                                DataAsText(value), problemCode)),
      m_value(value)
{
}

CDeleteFile::CDeleteFile(std::wstring path)
    : CFix(CRegErrorDescription(path, std::wstring(), std::wstring(), ProblemShortcutTargetMissing)),
      m_path(std::move(path))
{
}

void CRegErrorContainer::Add(std::unique_ptr<CRegError> error)
{
    if (!error)
        return;
    int scanType = error->GetScanType();
    m_errors[scanType].push_back(std::move(error));
}

void CRegErrorContainer::Clear()
{
    m_errors.clear();
}

size_t CRegErrorContainer::GetCount(int scanType) const
{
    auto found = m_errors.find(scanType);
    return found == m_errors.end() ? 0 : found->second.size();
}

size_t CRegErrorContainer::GetTotalCount() const
{
    size_t total = 0;
    for (int scanType = ScanTypeFirst; scanType <= ScanTypeLast; ++scanType)
        total += GetCount(scanType);
    return total;
}

const std::vector<std::unique_ptr<CRegError>>& CRegErrorContainer::GetErrors(int scanType)
{
    return m_errors[scanType];
}
}
