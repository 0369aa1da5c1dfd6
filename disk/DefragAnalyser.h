#pragma once
#include <windows.h>
#include <atomic>
#include <string>

#include "base/CriticalSection.h"
#include "base/ScopedHandle.h"
#include "disk/DefragReport.h"

// Measures the fragmentation of one drive with the system defragmenter in
// analysis mode, run under Ostrel so that its console report arrives through
// a pipe. Analyse runs on a thread of its own; the owner reads the progress
// while it runs, may Cancel and KillDefragProcesses, and reads the results
// after joining the thread.
class CDefragAnalyser
{
public:
    // drive: the letter without colon. resources: the module whose "EXE"
    // resources hold the Ostrel builds (null: the program itself); Ostrel.exe
    // is written beside it. form chooses the defragmenter's arguments and
    // the report rules.
    CDefragAnalyser(std::wstring drive, HMODULE resources, DefragForm form = CurrentDefragForm());
    virtual ~CDefragAnalyser();
    CDefragAnalyser(const CDefragAnalyser&) = delete;
    CDefragAnalyser& operator=(const CDefragAnalyser&) = delete;

    // The thread body; the results are left in the object.
    void Analyse();
    // For _beginthreadex, with the analyser as the argument.
    static unsigned __stdcall ThreadProc(void* analyser);

    int GetProgress() const { return m_progress; }
    bool Succeeded() const { return m_succeeded; }
    double GetFragmentation() const { return m_fragmentation; }
    std::wstring GetDrive() const { return m_drive; }

    void Cancel() { m_cancel = true; }
    // Ends the Ostrel this analysis started with every process below it
    // (the defragmenter) and, on XP and Vista, the defragmenter's engine,
    // so that Analyse returns at once.
    void KillDefragProcesses();

    // The form of the Windows this program runs on: 6.1 exactly is Windows 7,
    // 6.2 and later the drive optimizer's, anything else XP's and Vista's.
    static DefragForm CurrentDefragForm();

private:
    bool StartOstrel(const std::wstring& ostrelPath, HANDLE& readEnd);
    void ReadReport(HANDLE readEnd);

    double m_fragmentation = 0;
    std::wstring m_drive;
    HMODULE m_resources;
    DefragForm m_form;
    std::atomic<bool> m_cancel{false};
    bool m_succeeded = false;
    std::atomic<int> m_progress{0};
    // Ostrel while it runs; the lock orders starting it against killing it.
    CCriticalSection m_ostrelLock;
    CScopedHandle m_ostrel;
    DWORD m_ostrelId = 0;
};
