#include "regscan/ShortcutsScan.h"

#include <shlobj.h>

#include "base/ComSupport.h"
#include "regscan/FileSeeker.h"
#include "regscan/ScanTypes.h"
#include "regscan/ScannerLog.h"
#include "base/StringFormat.h"

namespace RegistryKelvadorLib
{
namespace
{
// In-process server and handler, local and remote server.
const DWORD kShellLinkContext = 23;
// No user interface; any match will do.
const DWORD kResolveFlags = SLR_NO_UI | SLR_ANY_MATCH;

struct ShellFolder
{
    int csidl;
    int percentsStart;
    int percentsInterval;
};

const ShellFolder kShellFolders[] = {
    {CSIDL_DESKTOP, 0, 15},   {CSIDL_PROGRAMS, 15, 15}, {CSIDL_PERSONAL, 30, 15},
    {CSIDL_FAVORITES, 45, 5}, {CSIDL_STARTUP, 60, 15},  {CSIDL_RECENT, 75, 15},
};

std::wstring ShellFolderPath(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE))
        return std::wstring();
    return path;
}

int CountEntries(const std::wstring& pattern)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int entries = 0;
    do
        ++entries;
    while (FindNextFileW(search, &found));
    FindClose(search);
    return entries;
}

bool IsShortcutName(const std::wstring& name)
{
    size_t dot = name.rfind(L'.');
    return dot != std::wstring::npos && _wcsicmp(name.c_str() + dot + 1, L"lnk") == 0;
}
}

bool ReadShortcutTarget(const std::wstring& link, std::wstring& target)
{
    CComPointer<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, kShellLinkContext, IID_IPersistFile,
                                reinterpret_cast<void**>(file.Receive()))))
        return false;
    if (FAILED(file->Load(link.c_str(), 0)))
        return false;
    CComPointer<IShellLinkW> shortcut;
    if (FAILED(file->QueryInterface(IID_IShellLinkW, reinterpret_cast<void**>(shortcut.Receive()))))
        return false;
    if (FAILED(shortcut->Resolve(nullptr, kResolveFlags)))
        return false;
    wchar_t path[MAX_PATH] = {};
    if (FAILED(shortcut->GetPath(path, MAX_PATH, nullptr, 0)))
        return false;
    target = path;
    return true;
}

CShortcutsScan::CShortcutsScan() : CRegScan(ScanTypeShortcuts)
{
}

void CShortcutsScan::Scan(CRegErrorContainer* container, ScanCallback callback)
{
    CComApartment apartment;
    WriteScannerLog(L"Start scan Shortcuts errors");
    BeginScan(container, callback);
    ReportProgress(0, std::wstring());
    for (const ShellFolder& folder : kShellFolders)
    {
        const std::wstring path = ShellFolderPath(folder.csidl);
        WriteScannerLog(FormatText(L"Begin scan folder \"%ls\"", path.c_str()));
        int errorsBefore = ErrorsFound();
        ScanFolder(path, folder.percentsStart, folder.percentsInterval);
        WriteScannerLog(FormatText(L"End scan folder. Errors %i", ErrorsFound() - errorsBefore));
    }
    WriteScannerLog(FormatText(L"End scan Shortcuts errors. Total errors = %i", ErrorsFound()));
    ReportProgress(100, std::wstring());
}

void CShortcutsScan::ScanFolder(const std::wstring& path, int percentsStart, int percentsInterval)
{
    if (path.empty())
        return;
    const std::wstring pattern = path + L"\\*.*";
    // "." and ".." take their share too.
    int entries = CountEntries(pattern);
    int share = entries ? percentsInterval / entries : percentsInterval;
    int position = percentsStart;

    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
    {
        if (!WaitUntilRunning())
            break;
        position += share;
        ReportProgress(position, std::wstring());
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        // Only plain folders are entered: hidden, system or linked ones are
        // not, so the walk cannot loop.
        if (found.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY)
            ScanFolder(path + L"\\" + name, position, share);
        else if (IsShortcutName(name))
            CheckShortcut(path + L"\\" + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void CShortcutsScan::CheckShortcut(const std::wstring& link)
{
    std::wstring target;
    if (!ReadShortcutTarget(link, target))
        return;
    std::wstring found = target;
    std::wstring arguments;
    if (FindFile(found, arguments, false))
        return;
    found = target;
    if (FindFile(found, arguments, true))
        return;
    AddError(std::make_unique<CDeleteFile>(link), target);
}
}
