#include "disk/DefragAnalyser.h"

#include <shlobj.h>

#include "disk/DefragReport.h"
#include "disk/OstrelFile.h"
#include "disk/ProcessKiller.h"
#include "disk/Utf16Collector.h"
#include "base/Log.h"
#include "base/StringFormat.h"

namespace
{
// The pipe is read in small pieces so that progress shows as it comes.
constexpr DWORD kReadPiece = 64;

WORD NativeArchitecture()
{
    // The native view: a 32-bit program on 64-bit Windows must start the
    // 64-bit Ostrel, or the 32-bit view of system32 hides the defragmenter.
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture;
}

bool IsVersionComponent(DWORD typeMask, DWORD value)
{
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    (typeMask == VER_MAJORVERSION ? version.dwMajorVersion : version.dwMinorVersion) = value;
    return VerifyVersionInfoW(&version, typeMask, VerSetConditionMask(0, typeMask, VER_EQUAL)) != FALSE;
}

// Windows 6.2 or later. A program without the 8.1 and 10 entries in its
// manifest is told 6.2 there, which still counts.
bool IsWindows8OrLater()
{
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    version.dwMajorVersion = 6;
    version.dwMinorVersion = 2;
    DWORDLONG condition = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    condition = VerSetConditionMask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION, condition) != FALSE;
}
}

CDefragAnalyser::CDefragAnalyser(std::wstring drive, HMODULE resources, DefragForm form)
    : m_drive(std::move(drive)), m_resources(resources), m_form(form)
{
}

CDefragAnalyser::~CDefragAnalyser() = default;

DefragForm CDefragAnalyser::CurrentDefragForm()
{
    if (IsVersionComponent(VER_MINORVERSION, 1) && IsVersionComponent(VER_MAJORVERSION, 6))
        return DefragForm::Windows7;
    return IsWindows8OrLater() ? DefragForm::Windows8OrLater : DefragForm::XpOrVista;
}

unsigned __stdcall CDefragAnalyser::ThreadProc(void* analyser)
{
    static_cast<CDefragAnalyser*>(analyser)->Analyse();
    return 0;
}

void CDefragAnalyser::Analyse()
{
    m_progress = 0;
    m_succeeded = false;
    Log(L"HDD TEST: try to get fragmentattion percent for all disks");

    WORD architecture = NativeArchitecture();
    WORD resourceId = COstrelFile::ResourceFor(architecture);
    if (resourceId == 0)
        return;
    Log(architecture == PROCESSOR_ARCHITECTURE_AMD64 ? L"x64 Ostrel exe" : L"x86 Ostrel exe");

    COstrelFile ostrel(m_resources);
    if (!ostrel.Extract(resourceId))
    {
        LogError(L"HDD TEST: cannot write " + ostrel.Path(), GetLastError());
        return;
    }
    HANDLE readEnd = nullptr;
    if (!StartOstrel(ostrel.Path(), readEnd))
        return;
    CScopedHandle pipe(readEnd);
    ReadReport(readEnd);

    // Ostrel.exe is deleted on the way out: let the process end first. The
    // wait holds no lock, so that KillDefragProcesses can still end it; only
    // this thread replaces the handle.
    WaitForSingleObject(m_ostrel.Get(), INFINITE);
    CCriticalSectionLock lock(m_ostrelLock);
    m_ostrel.Reset();
}

bool CDefragAnalyser::StartOstrel(const std::wstring& ostrelPath, HANDLE& readEnd)
{
    wchar_t systemFolder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_SYSTEM, nullptr, SHGFP_TYPE_CURRENT, systemFolder)))
        return false;
    std::wstring arguments = DefragArguments(m_drive, m_form);
    std::wstring commandLine = FormatText(L"\"%ls\\defrag.exe\" %ls", systemFolder, arguments.c_str());

    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0))
        return false;
    CScopedHandle pipeWrite(writeEnd);
    HANDLE process = GetCurrentProcess();
    HANDLE childOutput = nullptr;
    HANDLE childError = nullptr;
    DuplicateHandle(process, writeEnd, process, &childOutput, 0, TRUE, DUPLICATE_SAME_ACCESS);
    CScopedHandle outputCopy(childOutput);
    DuplicateHandle(process, childOutput, process, &childError, 0, TRUE, DUPLICATE_SAME_ACCESS);
    CScopedHandle errorCopy(childError);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = childOutput;
    startup.hStdError = childError;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started = {};

    CCriticalSectionLock lock(m_ostrelLock);
    // A cancel that came before the start would find nothing to kill.
    bool ok = !m_cancel && childOutput && childError &&
              CreateProcessW(ostrelPath.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr,
                             nullptr, &startup, &started);
    // The pipe must break when Ostrel ends: this process keeps no write end.
    if (!ok || !started.hProcess)
    {
        CloseHandle(readEnd);
        readEnd = nullptr;
        return false;
    }
    CloseHandle(started.hThread);
    m_ostrel.Reset(started.hProcess);
    m_ostrelId = started.dwProcessId;
    return true;
}

void CDefragAnalyser::ReadReport(HANDLE readEnd)
{
    CUtf16Collector output;
    char piece[kReadPiece];
    DWORD read = 0;
    size_t seen = 0;
    while (ReadFile(readEnd, piece, kReadPiece, &read, nullptr))
    {
        output.Append(piece, read);
        // Only a "%" in the new text changes the progress; reading the whole
        // output again for every piece would cost its square on a long report.
        const std::wstring& text = output.Text();
        if (text.find(L'%', seen) != std::wstring::npos)
        {
            int progress = ParseProgress(text.substr(seen >= 3 ? seen - 3 : 0));
            if (progress >= 0)
                m_progress = progress;
        }
        seen = text.size();
        if (m_cancel)
            return;
    }
    // The pipe broke: Ostrel has ended.
    if (m_cancel)
        return;
    m_progress = 100;
    Log(L"reading defrag responce");
    Log(output.Text());
    m_succeeded = ParseFragmentation(output.Text(), m_form, m_fragmentation);
}

void CDefragAnalyser::KillDefragProcesses()
{
    // Ostrel first: once it has ended it cannot start the defragmenter any
    // more, and whatever it did start is found below it. The defragmenter
    // must go too, or it keeps the pipe open and the analysis never returns.
    {
        CCriticalSectionLock lock(m_ostrelLock);
        if (m_ostrel)
            TerminateProcessTree(m_ostrel.Get(), m_ostrelId);
    }
    // On XP and Vista the analysis engine runs under a system service,
    // outside the tree this program started.
    if (m_form == DefragForm::XpOrVista)
    {
        const wchar_t* const engines[] = {L"dfrgntfs.exe", L"dfrgfat.exe"};
        TerminateFirstNamed(engines, 2);
    }
}
