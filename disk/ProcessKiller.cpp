#include "disk/ProcessKiller.h"

#include <tlhelp32.h>
#include <set>
#include <vector>

#include "base/ScopedHandle.h"

namespace
{
std::vector<PROCESSENTRY32W> SnapshotProcesses()
{
    std::vector<PROCESSENTRY32W> processes;
    CScopedHandle snapshot = AdoptFileHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return processes;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        processes.push_back(entry);
    return processes;
}

bool Terminate(DWORD processId)
{
    HANDLE raw = OpenProcess(PROCESS_TERMINATE, FALSE, processId);
    if (!raw)
        return false;
    CScopedHandle process(raw);
    return TerminateProcess(process.Get(), 0) != FALSE;
}

ULONGLONG CreationTime(HANDLE process)
{
    FILETIME created = {}, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Termination completes asynchronously; a process that will not end in
// this time is left behind rather than holding up the caller.
const DWORD kEndWaitMs = 2000;

// visited guards against parent ids that were reused and point in a circle.
void TerminateTree(HANDLE process, DWORD processId, std::set<DWORD>& visited)
{
    if (!visited.insert(processId).second)
        return;
    TerminateProcess(process, 0);
    WaitForSingleObject(process, kEndWaitMs);
    // The open handle keeps the id from being reused; a process older
    // than this one only names a former owner of the id as its parent.
    const ULONGLONG created = CreationTime(process);
    for (const PROCESSENTRY32W& entry : SnapshotProcesses())
    {
        if (entry.th32ParentProcessID != processId || entry.th32ProcessID == processId)
            continue;
        CScopedHandle child(
            OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, entry.th32ProcessID));
        if (child && CreationTime(child.Get()) >= created)
            TerminateTree(child.Get(), entry.th32ProcessID, visited);
    }
}
}

void TerminateProcessTree(HANDLE root, DWORD rootId)
{
    std::set<DWORD> visited;
    TerminateTree(root, rootId, visited);
}

bool TerminateFirstNamed(const wchar_t* const* names, size_t count)
{
    for (const PROCESSENTRY32W& process : SnapshotProcesses())
        for (size_t i = 0; i < count; ++i)
            if (lstrcmpiW(process.szExeFile, names[i]) == 0)
                return Terminate(process.th32ProcessID);
    return false;
}
