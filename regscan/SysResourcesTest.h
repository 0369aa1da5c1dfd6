#pragma once
#include <windows.h>

#include <string>

#include "engine/TesterImpl.h"
#include "regscan/RegErrors.h"
#include "regscan/RegScan.h"

namespace RegistryKelvadorLib
{
class CRegistryScaner;
}

// The scans' share of the progress: from 30 % on, 69 % for every eleven
// scans' worth of percents. completedScanPercent is 100 for every scan that
// has finished; scanPercent is the progress of the one running.
int ScanPhasePercent(int completedScanPercent, int scanPercent);

// The ten registry scans of the system test, in the order it runs them:
// the line it logs before each and the name its summary line gives the
// scan's count.
struct SystemScan
{
    int type;
    const wchar_t* logLine;
    const wchar_t* label;
};
extern const SystemScan kSystemScans[10];

// The system test: how loaded and how cluttered the Windows installation is.
// It samples the running processes, counts the startup programs, measures
// how full the Windows drive is, counts the registry's values and runs ten
// registry scans. When the registry cleaner's newest log shows that it has
// just repaired the computer, registry errors are not held against it.
class CSysResoucesConsumed : public CTesterImpl<CSysResoucesConsumed>
{
public:
    // The scanner is the run controller's; it is lent, not owned.
    explicit CSysResoucesConsumed(RegistryKelvadorLib::CRegistryScaner* scanner);
    ~CSysResoucesConsumed() override;
    CSysResoucesConsumed(const CSysResoucesConsumed&) = delete;
    CSysResoucesConsumed& operator=(const CSysResoucesConsumed&) = delete;

    void Run() override;
    // The number of registry errors, or 0 when the cleaner has just repaired
    // the computer or there are more errors than registry values.
    double GetScore() override;
    double GetMaxScore() override { return 100.0; }
    // Writes the "sys_perfomance" section.
    bool Serialize(CXmlNode& parent, CXmlDocument& document) override;
    // Also stops the registry scan that is running.
    void Cancel() override;

    unsigned GetAvgRunningProcesses() const { return m_avgRunningProcesses; }
    int GetTotalRegistryEntries() const { return m_totalRegistryEntries; }
    int GetStartupPrograms() const { return m_startupPrograms; }
    double GetOsDiskFill() const { return m_osDiskFill; }
    bool GetIssuesFixed() const { return m_issuesFixed; }
    const RegistryKelvadorLib::CRegErrorContainer& GetErrors() const { return m_errors; }

protected:
    // The number of processes running, 0 when they cannot be listed.
    virtual int CountRunningProcesses();

private:
    int CountRegistryEntries();
    int CountStartupPrograms();
    int CountRunValues(HKEY root, const std::wstring& path);
    // Percent of the drive in use; 0 when the drive cannot be asked.
    static double GetDiskFillPercent(const std::wstring& drive);
    // The values of the key and all below it; what was counted so far when
    // the test is cancelled.
    int CountKeyValues(HKEY key);
    void Reset();
    bool CheckIssuesFixed();
    void SampleProcesses();
    // Shortcuts in the user's Startup folder.
    int CountStartupShortcuts();
    void RunScans();
    void LogScanSummary();
    static void OnScanProgress(RegistryKelvadorLib::ScanProgress* progress);

    unsigned m_avgRunningProcesses = 0;
    int m_totalRegistryEntries = 0;
    int m_startupPrograms = 0;
    double m_osDiskFill = 0;
    RegistryKelvadorLib::CRegistryScaner* m_scanner;
    RegistryKelvadorLib::CRegErrorContainer m_errors;
    bool m_issuesFixed = false;
    int m_completedScanPercent = 0;
};
