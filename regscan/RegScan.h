#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "regscan/RegErrors.h"
#include "regscan/RegKey.h"
#include "regscan/RegValue.h"

namespace RegistryKelvadorLib
{
// What a scan tells its caller as it goes.
struct ScanProgress
{
    int scanType = 0;
    // The key last reached, "Error added\n" and an error's description, or
    // empty.
    std::wstring message;
    // 0 to 100, progress of this one scan.
    int percent = 0;
    int errorsFound = 0;
};

// Called on the scanning thread with the scan's own progress record.
typedef void (*ScanCallback)(ScanProgress* progress);

// The skeleton of every scan: a recursive walk of a registry key with a
// depth limit and a share of the percent range, value enumeration, excluded
// paths, pause and cancel, and the errors it adds.
class CRegScan
{
public:
    explicit CRegScan(int scanType);

    // Enumerates the values of an open key and hands each one with data to
    // CheckValue.
    virtual void ScanValues(HKEY key, const std::wstring& keyPath, DWORD valueCount, DWORD longestName,
                            DWORD longestData, REGSAM accessFlags);
    // Runs the whole scan on the calling thread, adding its errors to the
    // container.
    virtual void Scan(CRegErrorContainer* container, ScanCallback callback) = 0;
    // Tests one value and adds an error when it is broken.
    virtual void CheckValue(CRegValue* value) = 0;
    virtual ~CRegScan();

    CRegScan(const CRegScan&) = delete;
    CRegScan& operator=(const CRegScan&) = delete;

    int GetScanType() const { return m_progress.scanType; }
    // From any thread; the walk stops before its next subkey or value. A
    // cancelled scan stays cancelled.
    void Cancel() { m_cancelFlag = true; }
    bool IsCancelled() const { return m_cancelFlag; }
    // Signalled means run, reset means pause; null never pauses.
    void SetPauseEvent(HANDLE pauseEvent) { m_pauseEvent = pauseEvent; }

    // True when the path equals an excluded fragment or contains one.
    bool IsExcluded(const std::wstring& path) const;
    // The number of backslashes in the path.
    static int KeyDepth(const std::wstring& path);

protected:
    // Walks sSubkey under the root and nDeep further levels (-1: all),
    // reporting progress from nPercentsStart over nPercentsInterval. The
    // registry's error code when the key cannot be opened or queried,
    // else 0.
    LONG ScanKey(const std::wstring& sSubkey, int nDeep, int nPercentsStart, int nPercentsInterval);
    void ReportProgress(int percent, const std::wstring& text);
    // Records an error with its repair (may be null) and tells the callback.
    void AddError(std::unique_ptr<CFix> fix, const std::wstring& description);
    // Stores what Scan was given.
    void BeginScan(CRegErrorContainer* container, ScanCallback callback);
    // Waits while paused; false when the scan is cancelled.
    bool WaitUntilRunning() const;
    // Excluded fragments are compared in lower case.
    void ExcludeKey(const std::wstring& fragment);
    int ErrorsFound() const { return m_progress.errorsFound; }

    HKEY m_root = HKEY_LOCAL_MACHINE;
    std::wstring m_currentKey;
    int m_minValueDepth = 0;

private:
    void WalkKey(HKEY key, const KeyCounts& counts, const std::wstring& sSubkey, int nDeep, int nPercentsStart,
                 int nPercentsInterval);

    std::atomic<bool> m_cancelFlag{false};
    CRegErrorContainer* m_container = nullptr;
    ScanCallback m_callback = nullptr;
    HANDLE m_pauseEvent = nullptr;
    ScanProgress m_progress;
    std::vector<std::wstring> m_excludedKeys;
};
}
