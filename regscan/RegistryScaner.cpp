#include "regscan/RegistryScaner.h"

#include <sddl.h>
#include <tlhelp32.h>

#include "base/ScopedHandle.h"
#include "regscan/AppPathScan.h"
#include "regscan/ComScan.h"
#include "regscan/EmptyKeysScan.h"
#include "regscan/FileAssocScan.h"
#include "regscan/FileRefsScan.h"
#include "regscan/FontsScan.h"
#include "regscan/HelpFilesScan.h"
#include "regscan/ScanTypes.h"
#include "regscan/ScannerLog.h"
#include "regscan/SharedDllScan.h"
#include "regscan/ShortcutsScan.h"
#include "regscan/UninstallsScan.h"
#include "regscan/WinStartupScan.h"
#include "base/LogFile.h"

namespace RegistryKelvadorLib
{
namespace
{
const DWORD kQueryInformation = 0x400;
const DWORD kTokenRead = 0x20008;

// The token of the last explorer.exe; empty when there is none, or when a
// token cannot be opened.
CScopedHandle OpenExplorerToken()
{
    CScopedHandle snapshot = AdoptFileHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    CScopedHandle token;
    if (!snapshot)
        return token;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    // The first entry is the system's idle process.
    if (!Process32FirstW(snapshot.Get(), &entry))
        return token;
    while (Process32NextW(snapshot.Get(), &entry))
    {
        if (_wcsicmp(entry.szExeFile, L"explorer.exe") != 0)
            continue;
        CScopedHandle process(OpenProcess(kQueryInformation, FALSE, entry.th32ProcessID));
        HANDLE opened = nullptr;
        if (!process || !OpenProcessToken(process.Get(), kTokenRead, &opened))
            return CScopedHandle();
        token.Reset(opened);
    }
    return token;
}

std::unique_ptr<CRegScan> CreateScan(int scanType, const std::wstring& userSid)
{
    switch (scanType)
    {
    case ScanTypeCom:
        return std::make_unique<CComScan>();
    case ScanTypeUninstall:
        return std::make_unique<CUninstallsScan>();
    case ScanTypeFonts:
        return std::make_unique<CFontsScan>();
    case ScanTypeSharedDll:
        return std::make_unique<CSharedDllScan>();
    case ScanTypeAppPath:
        return std::make_unique<CAppPathScan>();
    case ScanTypeHelpFiles:
        return std::make_unique<CHelpFilesScan>();
    case ScanTypeWinStartup:
        return std::make_unique<CWinStartupScan>(userSid);
    case ScanTypeFileRefs:
        return std::make_unique<CFileRefsScan>(userSid);
    case ScanTypeShortcuts:
        return std::make_unique<CShortcutsScan>();
    case ScanTypeEmptyKeys:
        return std::make_unique<CEmptyKeysScan>(userSid);
    case ScanTypeFileAssoc:
        return std::make_unique<CFileAssocScan>();
    default:
        return nullptr;
    }
}
}

std::wstring TokenUserSid(HANDLE token)
{
    // Sized by asking: a SID may be longer than any fixed guess.
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0)
        return std::wstring();
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        return std::wstring();
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return std::wstring();
    std::wstring sid(text);
    LocalFree(text);
    return sid;
}

std::wstring FindInteractiveUserSid()
{
    CScopedHandle token = OpenExplorerToken();
    return token ? TokenUserSid(token.Get()) : std::wstring();
}

CRegistryScaner::CRegistryScaner() : m_userSid(FindInteractiveUserSid())
{
}

CRegistryScaner::~CRegistryScaner()
{
    ClearScans();
    ReleaseScannerLog(m_log.get());
}

void CRegistryScaner::SetLog(const std::wstring& folder, const std::wstring& fileName)
{
    ReleaseScannerLog(m_log.get());
    m_log.reset();
    m_log = std::make_unique<CLogFile>(folder, fileName, L"%h:%M:%s %d.%m.%Y", 1024, 0);
    SetScannerLog(m_log.get());
}

void CRegistryScaner::AddScan(int scanType)
{
    std::unique_ptr<CRegScan> scan = CreateScan(scanType, m_userSid);
    if (!scan)
        return;
    CCriticalSectionLock lock(m_scansLock);
    m_scans.push_back(std::move(scan));
}

void CRegistryScaner::SetPauseEvent(HANDLE pauseEvent)
{
    CCriticalSectionLock lock(m_scansLock);
    m_pauseEvent = pauseEvent;
    for (const auto& scan : m_scans)
        scan->SetPauseEvent(pauseEvent);
}

CRegScan* CRegistryScaner::ScanAt(size_t index)
{
    CCriticalSectionLock lock(m_scansLock);
    return index < m_scans.size() ? m_scans[index].get() : nullptr;
}

size_t CRegistryScaner::GetScanCount() const
{
    CCriticalSectionLock lock(m_scansLock);
    return m_scans.size();
}

void CRegistryScaner::Scan(CRegErrorContainer* container, ScanCallback callback)
{
    WriteScannerLog(L"Begin scan.");
    WriteScannerLog(L"User SID: " + m_userSid);
    if (!container)
    {
        WriteScannerLog(L"Invalid scan params. Scan failed.");
        return;
    }
    // The list is not held while a scan runs, so Cancel can get to it; only
    // this thread adds and removes scans.
    for (size_t index = 0; CRegScan* scan = ScanAt(index); ++index)
        scan->Scan(container, callback);
    WriteScannerLog(L"End scan.");
}

void CRegistryScaner::Pause()
{
    if (m_pauseEvent)
        ResetEvent(m_pauseEvent);
}

void CRegistryScaner::Resume()
{
    if (m_pauseEvent)
        SetEvent(m_pauseEvent);
}

void CRegistryScaner::Cancel()
{
    // Flags first: a walk released from its pause must see its flag.
    {
        CCriticalSectionLock lock(m_scansLock);
        for (const auto& scan : m_scans)
            scan->Cancel();
    }
    Resume();
}

void CRegistryScaner::ClearScans()
{
    // Destroyed outside the lock: a scan's destructor must not hold up Cancel.
    std::vector<std::unique_ptr<CRegScan>> scans;
    {
        CCriticalSectionLock lock(m_scansLock);
        scans.swap(m_scans);
    }
}
}
