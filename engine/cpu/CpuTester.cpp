#include "engine/cpu/CpuTester.h"

#include <process.h>
#include <algorithm>

#include "base/ScopedHandle.h"
#include "engine/XmlWriting.h"
#include "hardware/HardwareInfo.h"
#include "base/Log.h"
#include "base/StringFormat.h"

namespace
{
const WORD kCpuGroup = 1;
const int kUnitsPerProcessor = 30;
// The speed phase moves the progress from 30 % towards 100 % in steps of
// hundredths of a percent, 7000 of them shared by all units.
const double kSpeedPhaseStart = 30.0;
const int kSpeedPhaseBudget = 7000;

LONGLONG ToInteger(const FILETIME& time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<LONGLONG>(value.QuadPart);
}

// Both counters live in memory, so the compiler cannot fold the loop away;
// the loop's duration is what the test measures.
unsigned __stdcall CountDown(void* param)
{
    volatile unsigned long remaining = *static_cast<const unsigned long*>(param);
    volatile unsigned long counted = 0;
    while (remaining != 0)
    {
        remaining = remaining - 1;
        counted = counted + 1;
    }
    return 0;
}

LPARAM CpuProgress()
{
    return MAKELPARAM(0, kCpuGroup);
}

struct PinnedRun
{
    unsigned(__stdcall* routine)(void*);
    void* param;
    LONGLONG cpuMicroseconds;
};

// The thread reads its own CPU time as its last step: Wine reports no times
// for a thread that has ended.
unsigned __stdcall RunAndTime(void* param)
{
    auto* run = static_cast<PinnedRun*>(param);
    const unsigned result = run->routine(run->param);
    run->cpuMicroseconds = GetThreadCpuMicroseconds(GetCurrentThread());
    return result;
}
}

double GetSystemBusyPercent(DWORD windowMs)
{
    FILETIME idle1, kernel1, user1, idle2, kernel2, user2;
    GetSystemTimes(&idle1, &kernel1, &user1);
    Sleep(windowMs);
    GetSystemTimes(&idle2, &kernel2, &user2);
    const LONGLONG total = (ToInteger(kernel2) - ToInteger(kernel1)) + (ToInteger(user2) - ToInteger(user1));
    const LONGLONG idle = ToInteger(idle2) - ToInteger(idle1);
    // No time has passed on the system's clock: nothing was busy.
    if (total <= 0)
        return 0;
    return static_cast<double>(total - idle) * 100 / static_cast<double>(total);
}

LONGLONG GetThreadCpuMicroseconds(HANDLE thread)
{
    FILETIME creation, exit, kernel, user;
    if (!GetThreadTimes(thread, &creation, &exit, &kernel, &user))
        return 0;
    return static_cast<LONGLONG>(static_cast<double>(ToInteger(kernel) + ToInteger(user)) / 10);
}

DWORD_PTR AffinityMaskForProcessor(int processorNumber)
{
    const int bit = processorNumber - 1;
    if (bit < 0 || bit >= static_cast<int>(sizeof(DWORD_PTR) * 8))
        return 0;
    return static_cast<DWORD_PTR>(1) << bit;
}

bool RunPinnedThread(DWORD_PTR mask, unsigned(__stdcall* routine)(void*), void* param, LONGLONG& cpuMicroseconds)
{
    PinnedRun run = {routine, param, 0};
    CScopedHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &RunAndTime, &run, CREATE_SUSPENDED, nullptr)));
    if (!thread)
        return false;
    if (mask)
        SetThreadAffinityMask(thread.Get(), mask);
    ResumeThread(thread.Get());
    WaitForSingleObject(thread.Get(), INFINITE);
    cpuMicroseconds = run.cpuMicroseconds;
    return true;
}

void CCpuCoreTester::RunOnCore(DWORD_PTR mask, LONGLONG& microseconds, LONGLONG& instructions) const
{
    unsigned long loopLength = m_loopLength;
    LONGLONG used = 0;
    if (!RunPinnedThread(mask, &CountDown, &loopLength, used))
        return;
    instructions = kCreditedInstructions;
    microseconds = used;
}

CpuTestSettings::CpuTestSettings()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    processorCount = static_cast<int>(info.dwNumberOfProcessors);
}

CCpuTeser::CCpuTeser(const CHardwareInfo& inventory, const CpuTestSettings& settings)
    : m_inventory(inventory), m_settings(settings)
{
    m_settings.processorCount = std::max(m_settings.processorCount, 1);
    Log(L"x32 OS version");
}

void CCpuTeser::Run()
{
    m_cpuUsage = 0;
    BeginRun(L"CPU TEST: start test", kCpuGroup);
    // Each phase ends at its first cancel check; both still run.
    MeasureLoad();
    MeasureSpeed();
    NotifyProgress(100, CpuProgress());
    Log(L"CPU TEST: finish test");
}

bool CCpuTeser::Cancelled()
{
    if (!CheckCancel())
        return false;
    Log(L"CPU TEST: cancel test");
    return true;
}

void CCpuTeser::MeasureLoad()
{
    Log(L"CPU TEST: estimation of CPU consumed");
    double sum = 0;
    int taken = 0;
    while (taken < m_settings.loadSamples)
    {
        if (Cancelled())
            return;
        sum += SampleBusyPercent();
        ++taken;
        NotifyProgress(taken, CpuProgress());
        Sleep(m_settings.samplePauseMs);
    }
    m_cpuUsage = taken ? sum / taken : 0;
    Log(FormatText(L"CPU TEST: average CPU consumed is %f %%", m_cpuUsage));
}

void CCpuTeser::MeasureSpeed()
{
    Log(L"CPU TEST: start calculating MIPS");
    const int processors = m_settings.processorCount;
    const double step = (kSpeedPhaseBudget / (processors * kUnitsPerProcessor)) / 100.0;
    double progress = kSpeedPhaseStart;
    LONGLONG instructions = 0;
    LONGLONG microseconds = 0;

    for (int processor = 1; processor <= processors; ++processor)
    {
        Log(FormatText(L"CPU TEST: begin testing %i core", processor));
        for (int unit = 0; unit < kUnitsPerProcessor; ++unit)
        {
            if (Cancelled())
                return;
            LONGLONG unitMicroseconds = 0;
            LONGLONG unitInstructions = 0;
            RunUnit(AffinityMaskForProcessor(processor), unitMicroseconds, unitInstructions);
            microseconds += unitMicroseconds;
            instructions += unitInstructions;
            progress += step;
            if (progress < 100)
                NotifyProgress(static_cast<int>(progress), CpuProgress());
        }
        Log(FormatText(L"CPU TEST: end testing %i core", processor));
    }

    // Instructions per microsecond of one processor are millions per
    // second; the figure counts every processor.
    if (microseconds != 0)
        m_mips = static_cast<double>(processors * instructions / microseconds);
    Log(FormatText(L"CPU TEST: MIPS = %f", m_mips));
}

double CCpuTeser::SampleBusyPercent()
{
    return GetSystemBusyPercent(m_settings.sampleWindowMs);
}

void CCpuTeser::RunUnit(DWORD_PTR mask, LONGLONG& microseconds, LONGLONG& instructions)
{
    CCpuCoreTester core(m_settings.loopLength);
    core.RunOnCore(mask, microseconds, instructions);
}

double CCpuTeser::GetScore()
{
    if (m_score == 0)
        m_score = m_mips * (1 - m_cpuUsage / 100);
    return m_score;
}

double CCpuTeser::GetMaxScore()
{
    if (m_maxScore == 0)
        m_maxScore = m_mips;
    return m_maxScore;
}

bool CCpuTeser::Serialize(CXmlNode& parent, CXmlDocument& document)
{
    CXmlNode section;
    AppendElement(document, parent, L"cpu_test", section);
    AppendTextElement(document, section, L"scores", FormatText(L"%f", GetScore()));
    m_inventory.WriteCpuModels(section, document);
    AppendTextElement(document, section, L"cpu_mips", FormatText(L"%f", m_mips));
    AppendTextElement(document, section, L"cpu_usage", FormatText(L"%f", m_cpuUsage));
    return true;
}
