#include "regscan/SysResourcesTest.h"

#include <psapi.h>
#include <shlobj.h>

#include <atomic>
#include <vector>

#include "engine/XmlWriting.h"
#include "regscan/CleanerLog.h"
#include "regscan/RegKey.h"
#include "regscan/RegistryScaner.h"
#include "regscan/ScanTypes.h"
#include "base/Log.h"
#include "base/StringFormat.h"

using namespace RegistryKelvadorLib;

namespace
{
const WORD kSystemGroup = 5;
const int kProcessSamples = 30;
// Read and write: a key the user may not change is not counted.
const REGSAM kCountAccess = 0x2001F;
const DWORD kLongestKeyName = 255;
const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kWow64RunKey[] = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";

// The scan callback is a plain function; it reaches the test through this.
std::atomic<CSysResoucesConsumed*> currentSysTest{nullptr};

LPARAM SystemProgress()
{
    return MAKELPARAM(0, kSystemGroup);
}

std::wstring WindowsDrive()
{
    wchar_t folder[MAX_PATH] = {};
    GetWindowsDirectoryW(folder, MAX_PATH);
    std::wstring text = folder;
    size_t colon = text.find(L':');
    return colon == std::wstring::npos ? std::wstring() : text.substr(0, colon);
}
}

const SystemScan kSystemScans[10] = {
    {ScanTypeCom, L"SYS TEST: Scan com errors.", L"Com"},
    {ScanTypeUninstall, L"SYS TEST: Scan Uninstall errors.", L"Uninstall"},
    {ScanTypeFonts, L"SYS TEST: Scan Font errors.", L"Fonts"},
    {ScanTypeSharedDll, L"SYS TEST: Scan SharedDlls errors.", L"SharedDll"},
    {ScanTypeWinStartup, L"SYS TEST: Scan Startup errors.", L"Startup"},
    {ScanTypeFileRefs, L"SYS TEST: Scan FilePathReference errors.", L"FileRef"},
    {ScanTypeShortcuts, L"SYS TEST: Scan ProgramShortcuts errors.", L"Shortcuts"},
    {ScanTypeHelpFiles, L"SYS TEST: Scan HelpFiles errors.", L"Help"},
    {ScanTypeAppPath, L"SYS TEST: Scan AppPaths errors.", L"AppPath"},
    {ScanTypeFileAssoc, L"SYS TEST: Scan FileAssociations errors.", L"FileAssoc"},
};

int ScanPhasePercent(int completedScanPercent, int scanPercent)
{
    return static_cast<int>((completedScanPercent + scanPercent) * 69.0 / 1100 + 30);
}

CSysResoucesConsumed::CSysResoucesConsumed(CRegistryScaner* scanner) : m_scanner(scanner)
{
    currentSysTest = this;
}

CSysResoucesConsumed::~CSysResoucesConsumed()
{
    currentSysTest = nullptr;
}

void CSysResoucesConsumed::Reset()
{
    m_avgRunningProcesses = 0;
    m_totalRegistryEntries = 0;
    m_startupPrograms = 0;
    m_osDiskFill = 0;
    m_issuesFixed = false;
    m_completedScanPercent = 0;
    m_errors.Clear();
}

void CSysResoucesConsumed::Run()
{
    Reset();
    BeginRun(L"SYS TEST: begin test", kSystemGroup);
    Log(L"SYS TEST: Scanning total registry entries number...");
    m_issuesFixed = CheckIssuesFixed();
    if (m_issuesFixed)
        Log(L"SYS TEST: Indusses fixed this computer");
    m_totalRegistryEntries = CountRegistryEntries();
    NotifyProgress(26, SystemProgress());
    Log(FormatText(L"SYS TEST: Total registry entries = %d.", m_totalRegistryEntries));

    // A cancel ends the sampling, and the scans; the other steps still run.
    SampleProcesses();
    m_startupPrograms = CountStartupPrograms();
    Log(FormatText(L"SYS TEST: count of startup programs is %d", m_startupPrograms));
    m_osDiskFill = GetDiskFillPercent(WindowsDrive());
    Log(FormatText(L"SYS TEST: os disk fill percennt is %f", m_osDiskFill));
    NotifyProgress(30, SystemProgress());

    RunScans();
    LogScanSummary();
    NotifyProgress(100, SystemProgress());
    Log(L"SYS TEST: end test");
}

bool CSysResoucesConsumed::CheckIssuesFixed()
{
    const std::wstring folder = CleanerLogFolder();
    return !folder.empty() && CleanerLogsShowRepair(folder);
}

void CSysResoucesConsumed::SampleProcesses()
{
    // A sample that could not be taken is left out, rather than counted as
    // minus one process.
    unsigned sum = 0;
    unsigned samples = 0;
    for (int sample = 0; sample < kProcessSamples; ++sample)
    {
        if (CheckCancel())
        {
            Log(L"SYS TEST: cancel test");
            break;
        }
        int running = CountRunningProcesses();
        if (running <= 0)
            continue;
        // This test's own process is not counted.
        sum += static_cast<unsigned>(running - 1);
        ++samples;
    }
    m_avgRunningProcesses = samples ? sum / samples : 0;
    Log(FormatText(L"SYS TEST: count of runing processes is %d", static_cast<int>(m_avgRunningProcesses)));
}

void CSysResoucesConsumed::RunScans()
{
    // A cancel stops the scan that is running and starts none after it.
    for (const SystemScan& scan : kSystemScans)
    {
        if (CheckCancel())
            break;
        Log(scan.logLine);
        m_scanner->AddScan(scan.type);
        // The scanner cancels only the scans in its list: a cancel that came
        // before this one was added is seen here.
        if (!m_cancel)
            m_scanner->Scan(&m_errors, &CSysResoucesConsumed::OnScanProgress);
        m_scanner->ClearScans();
    }
}

void CSysResoucesConsumed::LogScanSummary()
{
    std::wstring line = FormatText(L"SYS TEST: Registry errors = %d.", static_cast<int>(m_errors.GetTotalCount()));
    for (const SystemScan& scan : kSystemScans)
        line += FormatText(L"%ls %ls = %d", &scan == kSystemScans ? L"" : L",", scan.label,
                           static_cast<int>(m_errors.GetCount(scan.type)));
    Log(line);
}

void CSysResoucesConsumed::OnScanProgress(ScanProgress* progress)
{
    CSysResoucesConsumed* test = currentSysTest;
    // Blocks while the run is paused: the scans themselves never wait.
    if (!test || test->CheckCancel())
        return;
    int value;
    if (progress->percent == 100)
    {
        test->m_completedScanPercent += 100;
        value = ScanPhasePercent(test->m_completedScanPercent, 0);
    }
    else
    {
        value = ScanPhasePercent(test->m_completedScanPercent, progress->percent);
    }
    // Posted: the scanning thread never waits for the window.
    test->m_notify.Post(value, SystemProgress());
}

double CSysResoucesConsumed::GetScore()
{
    // More errors than registry values is not plausible.
    const size_t errors = m_errors.GetTotalCount();
    if (m_issuesFixed || m_totalRegistryEntries < 0 || errors > static_cast<size_t>(m_totalRegistryEntries))
        return 0;
    return static_cast<double>(errors);
}

bool CSysResoucesConsumed::Serialize(CXmlNode& parent, CXmlDocument& document)
{
    const int registryErrors = m_issuesFixed ? 0 : static_cast<int>(m_errors.GetTotalCount());
    CXmlNode section;
    return AppendElement(document, parent, L"sys_perfomance", section) &&
           AppendTextElement(document, section, L"avr_running_process",
                             FormatText(L"%d", static_cast<int>(m_avgRunningProcesses))) &&
           AppendTextElement(document, section, L"startup_programs", FormatText(L"%d", m_startupPrograms)) &&
           AppendTextElement(document, section, L"os_disk_fill", FormatText(L"%f", m_osDiskFill)) &&
           AppendTextElement(document, section, L"reg_errors", FormatText(L"%d", registryErrors));
}

void CSysResoucesConsumed::Cancel()
{
    CTesterImpl::Cancel();
    if (m_scanner)
        m_scanner->Cancel();
}

int CSysResoucesConsumed::CountRegistryEntries()
{
    int count = CountKeyValues(HKEY_LOCAL_MACHINE);
    NotifyProgress(20, SystemProgress());
    CRegistryKey user;
    if (user.Open(HKEY_CURRENT_USER, std::wstring(), kCountAccess) == ERROR_SUCCESS)
        count += CountKeyValues(user.Get());
    return count;
}

int CSysResoucesConsumed::CountKeyValues(HKEY key)
{
    DWORD subkeys = 0;
    DWORD values = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    int count = static_cast<int>(values);
    // A longer name does not fit and is skipped with all it holds.
    CSubkeyNames names(key, subkeys, kLongestKeyName);
    std::wstring name;
    // A large registry takes minutes: a pause holds the count and a stop
    // ends it between two keys.
    while (!CheckCancel() && names.Next(name))
    {
        CRegistryKey subkey;
        if (subkey.Open(key, name, kCountAccess) == ERROR_SUCCESS)
            count += CountKeyValues(subkey.Get());
    }
    return count;
}

int CSysResoucesConsumed::CountRunningProcesses()
{
    DWORD processes[1024];
    DWORD filled = 0;
    if (!EnumProcesses(processes, sizeof(processes), &filled))
        return 0;
    return static_cast<int>(filled / sizeof(DWORD));
}

int CSysResoucesConsumed::CountStartupPrograms()
{
    return CountRunValues(HKEY_LOCAL_MACHINE, kRunKey) + CountRunValues(HKEY_CURRENT_USER, kRunKey) +
           CountRunValues(HKEY_LOCAL_MACHINE, kWow64RunKey) + CountRunValues(HKEY_CURRENT_USER, kWow64RunKey) +
           CountStartupShortcuts();
}

int CSysResoucesConsumed::CountRunValues(HKEY root, const std::wstring& path)
{
    CRegistryKey key;
    if (key.Open(root, path, kCountAccess) != ERROR_SUCCESS)
        return 0;
    KeyCounts counts;
    if (QueryCounts(key.Get(), counts) != ERROR_SUCCESS)
        return 0;
    int count = 0;
    for (DWORD index = 0; index < counts.values && !CheckCancel(); ++index)
    {
        std::vector<wchar_t> name(counts.longestValueName + 2, L'\0');
        std::vector<BYTE> data(counts.longestValueData + 1, 0);
        DWORD nameChars = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        LONG result =
            RegEnumValueW(key.Get(), index, name.data(), &nameChars, nullptr, nullptr, data.data(), &dataSize);
        if (!EnumerationGoesOn(result))
            break;
        // The default value is not a program of its own.
        if (result == ERROR_SUCCESS && dataSize != 0 && nameChars != 0)
            ++count;
    }
    return count;
}

int CSysResoucesConsumed::CountStartupShortcuts()
{
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_STARTUP, FALSE))
        return 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((std::wstring(folder) + L"\\*.lnk").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do
    {
        if (CheckCancel())
            break;
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
            ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

double CSysResoucesConsumed::GetDiskFillPercent(const std::wstring& drive)
{
    ULARGE_INTEGER total = {};
    ULARGE_INTEGER free = {};
    if (!GetDiskFreeSpaceExW((drive + L":\\").c_str(), nullptr, &total, &free) || total.QuadPart == 0)
        return 0;
    return static_cast<double>(total.QuadPart - free.QuadPart) * 100 / static_cast<double>(total.QuadPart);
}
