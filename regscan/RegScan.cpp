#include "regscan/RegScan.h"

#include <algorithm>

#include "regscan/RegKey.h"
#include "regscan/ScannerLog.h"
#include "shell/StringFormat.h"

namespace RegistryKelvadorLib
{
namespace
{
// Read and write: query, set value, create subkey, enumerate, notify. A key
// the user may not write is not worth reporting, as it could not be fixed.
const REGSAM kWalkAccess = 0x2001F;

// Buffers for the values of one key, sized from the key's counts and
// reused for each value.
struct ValueBuffers
{
    std::vector<wchar_t> name;
    std::vector<BYTE> data;

    void Fit(DWORD longestName, DWORD longestData)
    {
        name.resize(std::max<size_t>(name.size(), longestName + 2));
        data.resize(std::max<size_t>(data.size(), longestData + 1));
    }
};

struct EnumeratedValue
{
    std::wstring name;
    DWORD type = 0;
    DWORD dataSize = 0;
};

LONG EnumValue(HKEY key, DWORD index, ValueBuffers& buffers, EnumeratedValue& value)
{
    DWORD nameChars = static_cast<DWORD>(buffers.name.size());
    value.dataSize = static_cast<DWORD>(buffers.data.size());
    LONG result = RegEnumValueW(key, index, buffers.name.data(), &nameChars, nullptr, &value.type,
                                buffers.data.data(), &value.dataSize);
    if (result == ERROR_SUCCESS)
        value.name.assign(buffers.name.data(), nameChars);
    return result;
}

// The value at the index. A value that has grown since the key was queried
// is read once more with the key's new sizes. The registry's result.
LONG ReadValue(HKEY key, DWORD index, ValueBuffers& buffers, EnumeratedValue& value)
{
    LONG result = EnumValue(key, index, buffers, value);
    if (result == ERROR_MORE_DATA)
    {
        KeyCounts counts;
        if (QueryCounts(key, counts) != ERROR_SUCCESS)
            return result;
        buffers.Fit(counts.longestValueName, counts.longestValueData);
        result = EnumValue(key, index, buffers, value);
    }
    return result;
}
}

CRegScan::CRegScan(int scanType)
{
    m_progress.scanType = scanType;
}

CRegScan::~CRegScan() = default;

void CRegScan::BeginScan(CRegErrorContainer* container, ScanCallback callback)
{
    m_container = container;
    m_callback = callback;
}

bool CRegScan::WaitUntilRunning() const
{
    if (m_pauseEvent)
        WaitForSingleObject(m_pauseEvent, INFINITE);
    return !m_cancelFlag;
}

void CRegScan::ExcludeKey(const std::wstring& fragment)
{
    m_excludedKeys.push_back(ToLower(fragment));
}

bool CRegScan::IsExcluded(const std::wstring& path) const
{
    for (const std::wstring& excluded : m_excludedKeys)
    {
        if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(), -1, excluded.c_str(), -1) == CSTR_EQUAL)
            return true;
        if (path.find(excluded) != std::wstring::npos)
            return true;
    }
    return false;
}

int CRegScan::KeyDepth(const std::wstring& path)
{
    int depth = 0;
    for (wchar_t character : path)
        if (character == L'\\')
            ++depth;
    return depth;
}

void CRegScan::ReportProgress(int percent, const std::wstring& text)
{
    m_progress.percent = percent;
    m_progress.message = text;
    if (m_callback)
        m_callback(&m_progress);
}

void CRegScan::AddError(std::unique_ptr<CFix> fix, const std::wstring& description)
{
    if (m_container)
        m_container->Add(std::make_unique<CRegError>(GetScanType(), std::move(fix)));
    ++m_progress.errorsFound;
    m_progress.message = L"Error added\n" + description;
    if (m_callback)
        m_callback(&m_progress);
}

LONG CRegScan::ScanKey(const std::wstring& sSubkey, int nDeep, int nPercentsStart, int nPercentsInterval)
{
    m_currentKey = sSubkey;
    CScopedKey key;
    LONG result = key.Open(m_root, sSubkey, kWalkAccess);
    if (result != ERROR_SUCCESS)
        return result;
    KeyCounts counts;
    result = QueryCounts(key.Get(), counts);
    if (result != ERROR_SUCCESS)
        return result;
    try
    {
        WalkKey(key.Get(), counts, sSubkey, nDeep, nPercentsStart, nPercentsInterval);
    }
    catch (...)
    {
        DWORD lastError = GetLastError();
        std::wstring parameters =
            FormatText(L"hRoot: %ls\nsSubkey: %ls\nnDeep: %d\nnPercentsStart: %d\nnPercentsInterval:%d",
                       RootName(m_root).c_str(), sSubkey.c_str(), nDeep, nPercentsStart, nPercentsInterval);
        WriteScannerLog(FormatText(L"%ls (last error = %d)", (L"Unknown exception\n" + parameters).c_str(),
                                   static_cast<int>(lastError)));
    }
    return 0;
}

void CRegScan::WalkKey(HKEY key, const KeyCounts& counts, const std::wstring& sSubkey, int nDeep, int nPercentsStart,
                       int nPercentsInterval)
{
    int share = counts.subkeys ? nPercentsInterval / static_cast<int>(counts.subkeys) : nPercentsInterval;
    if (m_minValueDepth == 0 || KeyDepth(sSubkey) >= m_minValueDepth)
        ScanValues(key, sSubkey, counts.values, counts.longestValueName, counts.longestValueData, 0);

    if (counts.subkeys == 0)
    {
        ReportProgress(nPercentsStart + nPercentsInterval, DisplayPath(m_root, sSubkey));
        return;
    }

    // A name that has grown since the query does not fit and is skipped; its
    // share of the range is still counted.
    CSubkeyNames names(key, counts.subkeys, counts.longestSubkey);
    std::wstring childName;
    while (nDeep != 0 && WaitUntilRunning() && names.Next(childName))
    {
        int position = nPercentsStart + static_cast<int>(names.Index()) * share;
        std::wstring child = sSubkey.empty() ? childName : sSubkey + L"\\" + childName;
        ReportProgress(position + share, DisplayPath(m_root, child));
        child = ToLower(child);
        if (!IsExcluded(child))
            ScanKey(child, nDeep - 1, position, share);
    }
}

void CRegScan::ScanValues(HKEY key, const std::wstring& keyPath, DWORD valueCount, DWORD longestName,
                          DWORD longestData, REGSAM accessFlags)
{
    ValueBuffers buffers;
    buffers.Fit(longestName, longestData);
    for (DWORD index = 0; index < valueCount; ++index)
    {
        if (!WaitUntilRunning())
            return;
        EnumeratedValue read;
        LONG result = ReadValue(key, index, buffers, read);
        if (!EnumerationGoesOn(result))
            return;
        // Values without data are never checked, nor one that keeps growing.
        if (result != ERROR_SUCCESS || read.dataSize == 0)
            continue;
        CRegValue value(m_root, keyPath, read.name, read.type,
                        std::vector<BYTE>(buffers.data.begin(), buffers.data.begin() + read.dataSize), read.dataSize,
                        accessFlags);
        CheckValue(&value);
    }
}
}
