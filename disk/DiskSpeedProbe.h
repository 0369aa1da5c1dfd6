#pragma once
#include <windows.h>
#include <string>

// A 1 MB block of memory aligned to the page size, which is a multiple of
// every disk's sector size: unbuffered writes need sector-aligned buffers.
class CAlignedBuffer
{
public:
    static const DWORD kSize = 1048576;

    CAlignedBuffer();
    ~CAlignedBuffer();
    CAlignedBuffer(const CAlignedBuffer&) = delete;
    CAlignedBuffer& operator=(const CAlignedBuffer&) = delete;

    // Null when the memory could not be had.
    const void* Get() const { return m_memory; }
    // True when the buffer and its length suit unbuffered transfers on a
    // disk with the given sector size.
    bool IsAlignedTo(DWORD sectorSize) const;

private:
    void* m_memory;
};

// One timed write of a temporary file ("<drive>:\bench_hhd_<process id>")
// with unbuffered 1 MB requests, on a thread of its own. The file is deleted
// at the end of the trial.
class CDiskSpeedProbe
{
public:
    CDiskSpeedProbe(std::wstring drive, DWORD sizeMB = 100);
    ~CDiskSpeedProbe();
    CDiskSpeedProbe(const CDiskSpeedProbe&) = delete;
    CDiskSpeedProbe& operator=(const CDiskSpeedProbe&) = delete;

    // Writes at most a third of the free space and at most the size given.
    // microseconds: the lifetime of the writing thread; megabytes: what was
    // actually written. Both are 0 when the drive has no free megabyte.
    void Measure(ULONGLONG& microseconds, double& megabytes);

    std::wstring GetFileName() const;

private:
    static unsigned __stdcall ThreadProc(void* probe);
    void WriteFile();

    HANDLE m_thread = nullptr;
    std::wstring m_drive;
    DWORD m_sizeMB;
    DWORD m_planned = 0;
    ULONGLONG m_written = 0;
};
