#include "disk/DiskSpeedProbe.h"

#include <process.h>
#include <algorithm>

#include "base/ScopedHandle.h"
#include "base/Log.h"
#include "base/StringFormat.h"

namespace
{
ULONGLONG FileTimeValue(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

DWORD SectorSize(const std::wstring& root)
{
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters) ||
        bytesPerSector == 0)
        return 512;
    return bytesPerSector;
}
}

CAlignedBuffer::CAlignedBuffer()
    : m_memory(VirtualAlloc(nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
{
}

CAlignedBuffer::~CAlignedBuffer()
{
    if (m_memory)
        VirtualFree(m_memory, 0, MEM_RELEASE);
}

bool CAlignedBuffer::IsAlignedTo(DWORD sectorSize) const
{
    return m_memory && sectorSize > 0 && reinterpret_cast<ULONG_PTR>(m_memory) % sectorSize == 0 &&
           kSize % sectorSize == 0;
}

CDiskSpeedProbe::CDiskSpeedProbe(std::wstring drive, DWORD sizeMB) : m_drive(std::move(drive)), m_sizeMB(sizeMB)
{
}

CDiskSpeedProbe::~CDiskSpeedProbe()
{
    if (m_thread)
        CloseHandle(m_thread);
}

std::wstring CDiskSpeedProbe::GetFileName() const
{
    return FormatText(L"%ls:\\bench_hhd_%d", m_drive.c_str(), static_cast<int>(GetCurrentProcessId()));
}

void CDiskSpeedProbe::Measure(ULONGLONG& microseconds, double& megabytes)
{
    microseconds = 0;
    megabytes = 0;
    ULARGE_INTEGER available = {}, total = {}, free = {};
    GetDiskFreeSpaceExW((m_drive + L":\\").c_str(), &available, &total, &free);
    DWORD freeMB = static_cast<DWORD>(available.QuadPart / 1048576);
    if (freeMB == 0)
        return;
    m_planned = std::min(m_sizeMB, freeMB / 3);
    m_written = 0;

    m_thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CDiskSpeedProbe::ThreadProc, this, 0, nullptr));
    if (!m_thread)
        return;
    WaitForSingleObject(m_thread, INFINITE);
    FILETIME creation, exit, kernel, user;
    if (GetThreadTimes(m_thread, &creation, &exit, &kernel, &user))
        microseconds = (FileTimeValue(exit) - FileTimeValue(creation)) / 10;
    megabytes = m_written / 1048576.0;
}

unsigned __stdcall CDiskSpeedProbe::ThreadProc(void* probe)
{
    static_cast<CDiskSpeedProbe*>(probe)->WriteFile();
    return 0;
}

void CDiskSpeedProbe::WriteFile()
{
    CAlignedBuffer buffer;
    // Windows fails every unbuffered request from a misaligned buffer, and
    // the rate would time nothing.
    if (!buffer.IsAlignedTo(SectorSize(m_drive + L":\\")))
    {
        LogError(L"HDD TEST: no sector-aligned write buffer", GetLastError());
        return;
    }
    std::wstring name = GetFileName();
    {
        CScopedHandle file = AdoptFileHandle(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                                         FILE_FLAG_NO_BUFFERING | FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return;
        for (DWORD block = 0; block < m_planned; ++block)
        {
            DWORD written = 0;
            if (!::WriteFile(file.Get(), buffer.Get(), CAlignedBuffer::kSize, &written, nullptr))
                break;
            m_written += written;
        }
    }
    DeleteFileW(name.c_str());
}
