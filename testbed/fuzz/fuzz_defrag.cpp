// Hostile defragmenter reports: the stand-in defragmenter prints the
// generated text, Ostrel forwards its console, and the fragmentation
// analysis reads it as it does the system defragmenter's. An input is one
// byte choosing the reading (0 XP and Vista, 1 Windows 7, 2 the drive
// optimizer of Windows 8 and later), then the report as UTF-16LE text.
#include <windows.h>

#include <cmath>
#include <memory>

#include "disk/DefragAnalyser.h"
#include "base/Folders.h"
#include "testbed/fuzz/FuzzCampaign.h"

namespace
{
const wchar_t kReportVariable[] = L"TESSARIN_DEFRAG_REPORT";

const wchar_t* const kReports[] = {
    L"Windows Disk Defragmenter\nCopyright (c) 2001 Microsoft Corp. and Executive Software International, Inc.\n"
    L"Analyzing: 100%\n\nAnalysis Report\n    40 GB Total,  12.50 GB (31%) Free,  7% Fragmented (14% file "
    L"fragmentation)\n\nYou do not need to defragment this volume.\n",
    L"Windows Disk Defragmenter\nCopyright (c) 2006 Microsoft Corp.\nAnalysis report for volume C:\n\n"
    L"    Volume size                 = 40.00 GB\n    Free space                  = 12.50 GB\n"
    L"    Largest free space extent   = 6.25 GB\n    Percent file fragmentation  = 7 %\n\n"
    L"    Note: On NTFS volumes, file fragments larger than 64MB are not included.\n",
    L"Microsoft Disk Defragmenter\nCopyright (c) 2007 Microsoft Corp.\n\nInvoking analysis on (C:)...\n\n"
    L"\tAnalysis: 100% complete.\n\nThe operation completed successfully.\n\nPost Defragmentation Report:\n\n"
    L"\tVolume Information:\n\t\tVolume size                 = 40.00 GB\n\t\tFree space                  = 12.50 GB\n"
    L"\t\tTotal fragmented space      = 7%\n\t\tLargest free space size     = 6.25 GB\n\n"
    L"\tNote: File fragments larger than 64MB are not included.\n",
    L"Microsoft Drive Optimizer\nCopyright (c) 2013 Microsoft Corp.\n\nInvoking analysis on (C:)...\n\n"
    L"\tAnalysis:  100% complete.\n\nThe operation completed successfully.\n\nPost Defragmentation Report:\n\n"
    L"\nVolume Information:\n\tVolume size                 = 40.00 GB\n\tFree space                  = 12.50 GB\n"
    L"\tTotal fragmented space      = 7%\n\tLargest free space size     = 6.25 GB\n\n"
    L"Note: File fragments larger than 64MB are not included in the fragmentation statistics.\n"};

std::wstring ScratchReport()
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"fuzz_defrag_report.txt";
}

std::string Generate(CFuzzRandom& random)
{
    const std::wstring& shape = kReports[random.Below(4)];
    // Reports of up to a few hundred kilobytes: the console keeps 32,766
    // lines of 80 characters.
    std::string report = CMutator(random).Mutate(WideBytes(shape), 65536);
    if (report.size() > 600000)
        report.resize(600000);
    return std::string(1, static_cast<char>(random.Below(3))) + report;
}

FuzzOutcome Analyse(const std::string& input)
{
    const DefragForm form = static_cast<DefragForm>(input.empty() ? 0 : static_cast<unsigned char>(input[0]) % 3);
    if (!WriteFileBytes(ScratchReport(), input.empty() ? std::string() : input.substr(1)))
        return FuzzOutcome::Fail("cannot write the report file");
    CDefragAnalyser analyser(L"C", GetModuleHandleW(nullptr), form);
    analyser.Analyse();
    if (analyser.GetProgress() < 0 || analyser.GetProgress() > 100)
        return FuzzOutcome::Fail("progress out of 0..100: " + std::to_string(analyser.GetProgress()));
    const double percent = analyser.GetFragmentation();
    if (analyser.Succeeded() && !(std::isfinite(percent) && percent >= 0 && percent <= 100))
        return FuzzOutcome::Fail("fragmentation out of 0..100: " + std::to_string(percent));
    return FuzzOutcome();
}

// The stand-in takes the place of the system defragmenter (Wine has none)
// for as long as the campaign runs.
class CStandInDefrag
{
public:
    CStandInDefrag()
    {
        wchar_t folder[MAX_PATH] = {};
        GetSystemDirectoryW(folder, MAX_PATH);
        m_installed = std::wstring(folder) + L"\\defrag.exe";
        const std::wstring own = GetProgramFolder() + L"\\..\\defrag.exe";
        m_copied = CopyFileW(own.c_str(), m_installed.c_str(), TRUE) != FALSE;
        m_ready = m_copied || GetFileAttributesW(m_installed.c_str()) != INVALID_FILE_ATTRIBUTES;
        SetEnvironmentVariableW(kReportVariable, ScratchReport().c_str());
    }
    ~CStandInDefrag()
    {
        if (m_copied)
            DeleteFileW(m_installed.c_str());
        DeleteFileW(ScratchReport().c_str());
    }
    bool Ready() const { return m_ready; }

private:
    std::wstring m_installed;
    bool m_copied = false;
    bool m_ready = false;
};
}

int wmain(int argc, wchar_t** argv)
{
    std::unique_ptr<CStandInDefrag> defrag;
    return RunFuzzProgram(argc, argv, {{"defrag_report", Generate, Analyse, 30000}}, [&defrag] {
        defrag = std::make_unique<CStandInDefrag>();
        return defrag->Ready();
    });
}
