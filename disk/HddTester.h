#pragma once
#include <windows.h>
#include <map>
#include <string>
#include <vector>

#include "disk/DefragAnalyser.h"
#include "disk/LogicalDiskInfo.h"
#include "engine/TesterImpl.h"

class CHardwareInfo;

// How a hard-disk test run is set up; the defaults are the benchmark's own.
struct HddTestSettings
{
    // The module whose "EXE" resources hold the Ostrel builds (null: the
    // program itself).
    HMODULE ostrelResources = nullptr;
    // Largest temporary file of one write trial.
    DWORD trialSizeMB = 100;
    DefragForm defragForm = CDefragAnalyser::CurrentDefragForm();
};

// The hard-disk test: a fragmentation analysis of every fixed drive, then
// for each drive whose analysis succeeded its size, free space and a write
// transfer rate from ten timed trials. A drive scores with its size and rate,
// reduced by its fill level and fragmentation.
class CHddTester : public CTesterImpl<CHddTester>
{
public:
    // The inventory's disk models go into this test's section.
    explicit CHddTester(const CHardwareInfo& inventory, const HddTestSettings& settings = HddTestSettings());

    void Run() override;
    double GetScore() override;
    double GetMaxScore() override;
    // Writes the "hdd_test" section; always true.
    bool Serialize(CXmlNode& parent, CXmlDocument& document) override;

    const std::vector<LogicalDiskInfo>& GetDisks() const { return m_disks; }

    // A tenth of the drives' score terms, and of their maximum terms.
    static double TotalScore(const std::vector<LogicalDiskInfo>& disks);
    static double TotalMaxScore(const std::vector<LogicalDiskInfo>& disks);

    // The letters of the fixed drives, in alphabetical order.
    static std::vector<std::wstring> GetFixedDrives();

    // Progress while drive h of n is analysed, from the base reached so far
    // and the analyser's own percentage.
    static unsigned AnalysisProgress(unsigned base, int analyserProgress, unsigned driveCount);
    // The base reached once drive h (from 0) of n has been analysed.
    static unsigned AnalysisBaseAfter(unsigned driveIndex, unsigned driveCount);
    // The step sent after write trial i (0 to 9) when m drives are measured.
    static unsigned TrialStep(unsigned measuredCount, unsigned trial);

private:
    // False when the run was cancelled; fragmentation receives the figures
    // of the drives whose analysis succeeded.
    bool AnalyseDrives(std::map<std::wstring, double>& fragmentation, unsigned& base);
    void MeasureDrives(const std::map<std::wstring, double>& fragmentation, unsigned base);
    double MeasureTransferRate(const std::wstring& drive, unsigned base, unsigned measuredCount);
    void Progress(unsigned percent);

    const CHardwareInfo& m_inventory;
    HddTestSettings m_settings;
    std::vector<LogicalDiskInfo> m_disks;
};
