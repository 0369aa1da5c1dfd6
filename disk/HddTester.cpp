#include "disk/HddTester.h"

#include <process.h>

#include "disk/DiskSpeedProbe.h"
#include "base/ScopedHandle.h"
#include "engine/XmlWriting.h"
#include "hardware/HardwareInfo.h"
#include "base/Log.h"
#include "base/StringFormat.h"

namespace
{
const int kHddGroup = 2;
const unsigned kAnalysisShare = 80;
const unsigned kMeasuringShare = 20;
const unsigned kTrials = 10;
const DWORD kAnalysisPollMs = 1000;
}

CHddTester::CHddTester(const CHardwareInfo& inventory, const HddTestSettings& settings)
    : m_inventory(inventory), m_settings(settings)
{
}

std::vector<std::wstring> CHddTester::GetFixedDrives()
{
    std::vector<std::wstring> drives;
    DWORD present = GetLogicalDrives();
    for (int bit = 0; bit < 26; ++bit)
    {
        if (!(present & (1u << bit)))
            continue;
        std::wstring letter(1, static_cast<wchar_t>(L'A' + bit));
        if (GetDriveTypeW((letter + L":\\").c_str()) == DRIVE_FIXED)
            drives.push_back(letter);
    }
    return drives;
}

unsigned CHddTester::AnalysisProgress(unsigned base, int analyserProgress, unsigned driveCount)
{
    return base + (static_cast<unsigned>(analyserProgress) * kAnalysisShare / 100) / driveCount;
}

unsigned CHddTester::AnalysisBaseAfter(unsigned driveIndex, unsigned driveCount)
{
    return kAnalysisShare / (driveCount - driveIndex);
}

unsigned CHddTester::TrialStep(unsigned measuredCount, unsigned trial)
{
    return kMeasuringShare / measuredCount / (kTrials - trial);
}

void CHddTester::Run()
{
    m_disks.clear();
    BeginRun(L"HDD TEST: begin test", kHddGroup);
    std::map<std::wstring, double> fragmentation;
    unsigned base = 0;
    if (AnalyseDrives(fragmentation, base) && !fragmentation.empty())
        MeasureDrives(fragmentation, base);

    if (CheckCancel())
    {
        Log(L"HDD TEST: cancel test");
        return;
    }
    Progress(100);
    Log(L"HDD TEST: end test");
}

bool CHddTester::AnalyseDrives(std::map<std::wstring, double>& fragmentation, unsigned& base)
{
    std::vector<std::wstring> drives = GetFixedDrives();
    unsigned count = static_cast<unsigned>(drives.size());
    for (unsigned h = 0; h < count; ++h)
    {
        Log(FormatText(L"HDD TEST: try to analyze disk - %ls", drives[h].c_str()));
        CDefragAnalyser analyser(drives[h], m_settings.ostrelResources, m_settings.defragForm);
        CScopedHandle thread(
            reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CDefragAnalyser::ThreadProc, &analyser, 0, nullptr)));
        if (!thread)
            continue;
        while (WaitForSingleObject(thread.Get(), kAnalysisPollMs) == WAIT_TIMEOUT)
        {
            if (CheckCancel())
            {
                analyser.Cancel();
                analyser.KillDefragProcesses();
                WaitForSingleObject(thread.Get(), INFINITE);
                return false;
            }
            Progress(AnalysisProgress(base, analyser.GetProgress(), count));
        }
        base = AnalysisBaseAfter(h, count);
        Progress(base);
        if (analyser.Succeeded())
            fragmentation[analyser.GetDrive()] = analyser.GetFragmentation();
    }
    return true;
}

void CHddTester::MeasureDrives(const std::map<std::wstring, double>& fragmentation, unsigned base)
{
    unsigned count = static_cast<unsigned>(fragmentation.size());
    Log(FormatText(L"disk count = %i", static_cast<int>(count)));
    unsigned step = kMeasuringShare / count;
    unsigned k = 0;
    for (const auto& drive : fragmentation)
    {
        base += step * k;
        if (CheckCancel())
            return;
        Log(FormatText(L"HDD TEST: founded disk - %ls", drive.first.c_str()));
        ULARGE_INTEGER total = {}, free = {};
        GetDiskFreeSpaceExW((drive.first + L":\\").c_str(), nullptr, &total, &free);
        LogicalDiskInfo disk(drive.first, total.QuadPart, free.QuadPart, drive.second);
        disk.transferRate = MeasureTransferRate(drive.first, base, count);
        m_disks.push_back(disk);
        Log(FormatText(L"disk %ls: TransRate = %f", drive.first.c_str(),
                                static_cast<double>(static_cast<float>(disk.transferRate))));
        ++k;
    }
}

double CHddTester::MeasureTransferRate(const std::wstring& drive, unsigned base, unsigned measuredCount)
{
    ULONGLONG totalMicroseconds = 0;
    double totalMB = 0;
    for (unsigned trial = 0; trial < kTrials && !CheckCancel(); ++trial)
    {
        CDiskSpeedProbe probe(drive, m_settings.trialSizeMB);
        ULONGLONG microseconds = 0;
        double megabytes = 0;
        probe.Measure(microseconds, megabytes);
        totalMicroseconds += microseconds;
        totalMB += megabytes;
        Progress(base + TrialStep(measuredCount, trial));
    }
    return totalMicroseconds == 0 ? 0 : totalMB * 1000000.0 / totalMicroseconds;
}

void CHddTester::Progress(unsigned percent)
{
    NotifyProgress(percent, MAKELPARAM(0, kHddGroup));
}

double CHddTester::TotalScore(const std::vector<LogicalDiskInfo>& disks)
{
    double sum = 0;
    for (const LogicalDiskInfo& disk : disks)
        sum += disk.GetScoreTerm();
    return 0.1 * sum;
}

double CHddTester::TotalMaxScore(const std::vector<LogicalDiskInfo>& disks)
{
    double sum = 0;
    for (const LogicalDiskInfo& disk : disks)
        sum += disk.GetMaxScoreTerm();
    return 0.1 * sum;
}

double CHddTester::GetScore()
{
    if (m_score == 0)
        m_score = TotalScore(m_disks);
    return m_score;
}

double CHddTester::GetMaxScore()
{
    if (m_maxScore == 0)
        m_maxScore = TotalMaxScore(m_disks);
    return m_maxScore;
}

bool CHddTester::Serialize(CXmlNode& parent, CXmlDocument& document)
{
    CXmlNode section;
    AppendElement(document, parent, L"hdd_test", section);
    AppendTextElement(document, section, L"scores", FormatText(L"%f", GetScore()));
    m_inventory.WriteHddModels(section, document);
    CXmlNode disks;
    AppendElement(document, section, L"hdds", disks);
    for (const LogicalDiskInfo& disk : m_disks)
        disk.Serialize(disks, document);
    return true;
}
