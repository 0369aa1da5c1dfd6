#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/CriticalSection.h"
#include "regscan/RegScan.h"

class CLogFile;

namespace RegistryKelvadorLib
{
// The scanner the benchmark uses: a list of scans run one after another on
// the calling thread, paused through the shared run/pause event and
// cancelled from any thread.
class CRegistryScaner
{
public:
    // Finds the interactive user's SID (the owner of explorer.exe).
    CRegistryScaner();
    ~CRegistryScaner();
    CRegistryScaner(const CRegistryScaner&) = delete;
    CRegistryScaner& operator=(const CRegistryScaner&) = delete;

    // Opens the scanner log every scan writes to, replacing the one open.
    void SetLog(const std::wstring& folder, const std::wstring& fileName);
    // Appends a scan of that type; a type without a scan adds nothing.
    void AddScan(int scanType);
    // Handed to the scans in the list now, not to those added later.
    void SetPauseEvent(HANDLE pauseEvent);
    // Runs every scan in list order on the calling thread.
    void Scan(CRegErrorContainer* container, ScanCallback callback);
    void Pause();
    void Resume();
    // From any thread: releases a paused walk and cancels the scans in the
    // list.
    void Cancel();
    void ClearScans();

    const std::wstring& GetUserSid() const { return m_userSid; }
    size_t GetScanCount() const;

private:
    // The scan at that place in the list, or null past its end.
    CRegScan* ScanAt(size_t index);

    // Guards the list: Cancel comes from another thread.
    mutable CCriticalSection m_scansLock;
    std::vector<std::unique_ptr<CRegScan>> m_scans;
    std::wstring m_userSid;
    HANDLE m_pauseEvent = nullptr;
    std::unique_ptr<CLogFile> m_log;
};

// The string form of the SID of the token's user; empty when it cannot be
// read.
std::wstring TokenUserSid(HANDLE token);
// The string form of the SID of the user who owns explorer.exe (the last
// one found); empty when there is none or its token cannot be read.
std::wstring FindInteractiveUserSid();
}
