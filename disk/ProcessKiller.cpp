#include "disk/ProcessKiller.h"

#include <tlhelp32.h>
#include <set>
#include <vector>

#include "engine/ScopedHandle.h"

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

// visited guards against parent ids that were reused and point in a circle.
bool TerminateBelow(DWORD parent, const wchar_t* name, std::set<DWORD>& visited)
{
    if (!visited.insert(parent).second)
        return false;
    bool terminated = false;
    for (const PROCESSENTRY32W& process : SnapshotProcesses())
    {
        if (process.th32ParentProcessID != parent || process.th32ProcessID == parent)
            continue;
        if (lstrcmpiW(process.szExeFile, name) == 0)
            return Terminate(process.th32ProcessID) || terminated;
        terminated = TerminateBelow(process.th32ProcessID, name, visited) || terminated;
    }
    return terminated;
}
}

bool TerminateDescendantNamed(DWORD root, const wchar_t* name)
{
    std::set<DWORD> visited;
    return TerminateBelow(root, name, visited);
}

bool TerminateFirstNamed(const wchar_t* const* names, size_t count)
{
    for (const PROCESSENTRY32W& process : SnapshotProcesses())
        for (size_t i = 0; i < count; ++i)
            if (lstrcmpiW(process.szExeFile, names[i]) == 0)
                return Terminate(process.th32ProcessID);
    return false;
}
