#pragma once
#include <windows.h>

#include "engine/TesterImpl.h"

class CHardwareInfo;

// Share of all processors' time that was not idle during windowMs, in
// percent (kernel time counts idle time too, so it is taken out).
double GetSystemBusyPercent(DWORD windowMs = 1000);

// Kernel plus user time the thread has used, in microseconds.
LONGLONG GetThreadCpuMicroseconds(HANDLE thread);

// The affinity mask of one logical processor, numbered from 1; 0 for a
// number the mask cannot hold (beyond 32 on the 32-bit build, 64 on x64).
DWORD_PTR AffinityMaskForProcessor(int processorNumber);

// Runs routine(param) on a new thread that is created suspended, pinned to
// mask (unless mask is 0) and then resumed, and waits for it to end.
// cpuMicroseconds receives the CPU time the thread used. False when the
// thread cannot be created.
bool RunPinnedThread(DWORD_PTR mask, unsigned(__stdcall* routine)(void*), void* param, LONGLONG& cpuMicroseconds);

// One timed work unit: a fixed busy loop on one logical processor.
class CCpuCoreTester
{
public:
    // Iterations of the busy loop of the benchmark.
    static const unsigned long kLoopLength = 300000000;
    // What one unit is credited with, whatever the loop compiles to.
    static const LONGLONG kCreditedInstructions = 9000000000LL;

    explicit CCpuCoreTester(unsigned long loopLength = kLoopLength) : m_loopLength(loopLength) {}
    virtual ~CCpuCoreTester() = default;

    // Runs the loop on a thread of its own pinned to mask. Leaves both
    // outputs as they are when the thread cannot be created.
    void RunOnCore(DWORD_PTR mask, LONGLONG& microseconds, LONGLONG& instructions) const;

private:
    unsigned long m_loopLength;
};

// How a CPU test run is paced; the defaults are the benchmark's own.
struct CpuTestSettings
{
    int processorCount;
    int loadSamples = 30;
    // Between the two readings of one load sample.
    DWORD sampleWindowMs = 1000;
    // After each load sample.
    DWORD samplePauseMs = 1000;
    unsigned long loopLength = CCpuCoreTester::kLoopLength;

    // The logical processors of this machine.
    CpuTestSettings();
};

// The CPU test: the average system load over the load samples, then the
// speed of a busy loop run 30 times on every logical processor in turn,
// timed by the CPU time of the thread that ran it. Score: the speed (MIPS)
// reduced by the load; maximum: the speed alone.
class CCpuTeser : public CTesterImpl<CCpuTeser>
{
public:
    // The inventory's processor names go into this test's section.
    explicit CCpuTeser(const CHardwareInfo& inventory, const CpuTestSettings& settings = CpuTestSettings());

    void Run() override;
    double GetScore() override;
    double GetMaxScore() override;
    // Writes the "cpu_test" section; always true.
    bool Serialize(CXmlNode& parent, CXmlDocument& document) override;

    double GetCpuUsage() const { return m_cpuUsage; }
    double GetMips() const { return m_mips; }

protected:
    // One load sample in percent.
    virtual double SampleBusyPercent();
    // One work unit on the processor that mask names.
    virtual void RunUnit(DWORD_PTR mask, LONGLONG& microseconds, LONGLONG& instructions);

private:
    void MeasureLoad();
    void MeasureSpeed();
    // Logs the cancel line when the run was cancelled.
    bool Cancelled();

    const CHardwareInfo& m_inventory;
    CpuTestSettings m_settings;
    double m_cpuUsage = 0;
    double m_mips = 0;
};
