#include <windows.h>
#include <winternl.h>

#include <string>

#include <gtest/gtest.h>

#include "base/ScopedHandle.h"
#include "base/Folders.h"
#include "base/StringFormat.h"
#include "testbed/support/FileBytes.h"
#include "testbed/support/MessageBoxAnswerer.h"

namespace
{
const wchar_t kErrorText[] = L"An error occured while updates installing. Updates wasn't installed!";

// A scratch program folder, with a blank in its name as real ones have,
// holding updater.exe and the recording stand-in installer.
class UpdaterTest : public testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        m_temp = temp;
        m_folder = FormatText(L"%lsupdater test %lu", temp, GetCurrentProcessId());
        CreateDirectoryW(m_folder.c_str(), nullptr);
        const std::wstring built = GetProgramFolder();
        ASSERT_TRUE(CopyFileW((built + L"\\updater.exe").c_str(), (m_folder + L"\\updater.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW((built + L"\\install_recorder.exe").c_str(), (m_folder + L"\\zxq_install.exe").c_str(),
                              FALSE));
    }

    void TearDown() override
    {
        for (const wchar_t* name : {L"updater.exe", L"zxq_install.exe", L"zxq_install.log"})
            DeleteFileW((m_folder + L"\\" + name).c_str());
        RemoveDirectoryW(m_folder.c_str());
    }

    // Opens the file as the main program holds the checked installer
    // (inheritable, no write or delete sharing); the handle's value as the
    // updater's command line names it.
    std::wstring Hold(const std::wstring& path)
    {
        SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
        m_held = AdoptFileHandle(
            CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, &inheritable, OPEN_EXISTING, 0, nullptr));
        return std::to_wstring(reinterpret_cast<ULONG_PTR>(m_held.Get()));
    }
    std::wstring HoldInstaller() { return Hold(m_folder + L"\\zxq_install.exe"); }

    // Starts the updater with the arguments, from another current folder; it
    // inherits the held file, which this program then lets go, as the main
    // program ends.
    CScopedHandle StartUpdater(const std::wstring& arguments, DWORD flags = 0)
    {
        std::wstring commandLine = L"\"" + m_folder + L"\\updater.exe\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        const BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, flags, nullptr,
                                            m_temp.c_str(), &startup, &process);
        m_held.Reset();
        if (!started)
            return CScopedHandle();
        CloseHandle(process.hThread);
        return CScopedHandle(process.hProcess);
    }

    DWORD WaitForExit(const CScopedHandle& process, DWORD timeoutMs)
    {
        if (WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0)
            return STILL_ACTIVE;
        DWORD code = 0;
        GetExitCodeProcess(process.Get(), &code);
        return code;
    }

    // What the stand-in installer recorded; waits a little for it to run.
    std::wstring InstallerRecord(DWORD waitMs = 5000)
    {
        const std::wstring path = m_folder + L"\\zxq_install.log";
        for (DWORD waited = 0;; waited += 50)
        {
            // Read once the recorder has written its line into the file it created.
            const std::wstring text = ReadFileText(path);
            if (!text.empty())
                return text;
            if (waited >= waitMs)
                return std::wstring();
            Sleep(50);
        }
    }

    std::wstring ExpectedRecord() const { return L"\"" + m_folder + L"\\zxq_install.exe\" /S\n"; }

    // A process that stays alive until it is ended: this test program,
    // started suspended.
    PROCESS_INFORMATION StartSleeper()
    {
        std::wstring commandLine = L"\"" + GetProgramPath() + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                       &startup, &process);
        return process;
    }

    static void EndSleeper(PROCESS_INFORMATION& process)
    {
        TerminateProcess(process.hProcess, 0);
        WaitForSingleObject(process.hProcess, 5000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    // Starts the updater as a debugger would and, before its own code reads
    // its command line, starts a sleeper and puts the sleeper's id on that
    // line: the id the updater waits for then names a process created after
    // the updater, as when an ended program's id has been reused.
    CScopedHandle StartUpdaterForYoungerProcess(PROCESS_INFORMATION& younger)
    {
        CScopedHandle process = StartUpdater(std::wstring(kIdPlaceholder) + L" " + HoldInstaller(),
                                             DEBUG_ONLY_THIS_PROCESS);
        if (!process)
            return process;
        PROCESS_INFORMATION updater = {process.Get(), nullptr, GetProcessId(process.Get()), 0};
        DebugSetProcessKillOnExit(FALSE);
        DEBUG_EVENT event = {};
        bool written = false;
        while (!written && WaitForDebugEvent(&event, 10000))
        {
            if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT)
                CloseHandle(event.u.LoadDll.hFile);
            if (event.dwDebugEventCode != EXIT_PROCESS_DEBUG_EVENT && PlaceholderOffset(updater.hProcess) != 0)
            {
                if (!younger.hProcess)
                    younger = StartSleeper();
                written = WriteProcessId(updater.hProcess, younger.dwProcessId);
            }
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
        }
        DebugActiveProcessStop(updater.dwProcessId);
        return process;
    }

    std::wstring m_temp;
    std::wstring m_folder;
    CScopedHandle m_held;

private:
    static constexpr const wchar_t* kIdPlaceholder = L"0000000000";

    // Where the placeholder sits in the process's command line (its address),
    // or 0 while the command line is not readable yet.
    static ULONG_PTR PlaceholderOffset(HANDLE process)
    {
        using QueryProcess = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
        const auto query = reinterpret_cast<QueryProcess>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
        PROCESS_BASIC_INFORMATION basic = {};
        PEB peb = {};
        RTL_USER_PROCESS_PARAMETERS parameters = {};
        if (!query || query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0 ||
            !ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof(peb), nullptr) ||
            !peb.ProcessParameters ||
            !ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof(parameters), nullptr) ||
            !parameters.CommandLine.Buffer)
            return 0;
        std::wstring line(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
        if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, &line[0], line.size() * sizeof(wchar_t),
                               nullptr))
            return 0;
        const size_t at = line.rfind(kIdPlaceholder);
        if (at == std::wstring::npos)
            return 0;
        return reinterpret_cast<ULONG_PTR>(parameters.CommandLine.Buffer + at);
    }

    // Replaces the placeholder with the id, right-aligned behind blanks.
    static bool WriteProcessId(HANDLE process, DWORD processId)
    {
        const ULONG_PTR address = PlaceholderOffset(process);
        const std::wstring digits = FormatText(L"%10lu", processId);
        return address != 0 && WriteProcessMemory(process, reinterpret_cast<void*>(address), digits.c_str(),
                                                   digits.size() * sizeof(wchar_t), nullptr);
    }
};
}

TEST_F(UpdaterTest, WithoutProcessIdShowsOneBoxAndInstallsNothing)
{
    for (const wchar_t* arguments : {L"", L"0", L"abc"})
    {
        CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
        CScopedHandle updater = StartUpdater(arguments);
        ASSERT_TRUE(updater);
        EXPECT_EQ(static_cast<DWORD>(IDOK), WaitForExit(updater, 20000)) << arguments;
        ASSERT_EQ(1u, answerer.Texts().size()) << arguments;
        EXPECT_EQ(kErrorText, answerer.Texts()[0]);
        EXPECT_EQ(L"", InstallerRecord(0)) << arguments;
    }
}

TEST_F(UpdaterTest, EndedProcessInstallsAtOnceFromTheOwnFolder)
{
    // Its handle stays open, so that Wine gives the id to no other process.
    PROCESS_INFORMATION ended = StartSleeper();
    TerminateProcess(ended.hProcess, 0);
    WaitForSingleObject(ended.hProcess, 5000);
    const DWORD endedId = ended.dwProcessId;

    CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
    CScopedHandle updater = StartUpdater(std::to_wstring(endedId) + L" " + HoldInstaller());
    EXPECT_EQ(0u, WaitForExit(updater, 20000));
    EXPECT_EQ(ExpectedRecord(), InstallerRecord());
    EXPECT_TRUE(answerer.Texts().empty());
    EndSleeper(ended);
}

TEST_F(UpdaterTest, WaitsForTheProcessNamedFirstOnTheLine)
{
    PROCESS_INFORMATION running = StartSleeper();
    CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
    CScopedHandle updater =
        StartUpdater(FormatText(L"  %lu %ls rest of the line", running.dwProcessId, HoldInstaller().c_str()));
    EXPECT_EQ(STILL_ACTIVE, WaitForExit(updater, 1500));
    EXPECT_EQ(L"", InstallerRecord(0));

    EndSleeper(running);
    EXPECT_EQ(0u, WaitForExit(updater, 20000));
    EXPECT_EQ(ExpectedRecord(), InstallerRecord());
    EXPECT_TRUE(answerer.Texts().empty());
}

TEST_F(UpdaterTest, ProcessCreatedAfterTheUpdaterCountsAsEnded)
{
    PROCESS_INFORMATION younger = {};
    CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
    CScopedHandle updater = StartUpdaterForYoungerProcess(younger);
    ASSERT_TRUE(updater);
    ASSERT_NE(younger.hProcess, nullptr) << "the updater's command line was not reached";
    // Installs at once, although the process under that id keeps running.
    EXPECT_EQ(0u, WaitForExit(updater, 10000));
    EXPECT_EQ(ExpectedRecord(), InstallerRecord());
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(younger.hProcess, 0));
    EndSleeper(younger);
    WaitForExit(updater, 40000);
    EXPECT_TRUE(answerer.Texts().empty());
}

TEST_F(UpdaterTest, ProcessAlivePastTheLimitShowsTheBoxThenInstalls)
{
    PROCESS_INFORMATION running = StartSleeper();
    CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
    CScopedHandle updater = StartUpdater(std::to_wstring(running.dwProcessId) + L" " + HoldInstaller());
    // The updater waits 30 seconds before it gives up on the process.
    EXPECT_TRUE(answerer.WaitForAnswers(1, 45000));
    EXPECT_EQ(0u, WaitForExit(updater, 20000));
    EXPECT_EQ(ExpectedRecord(), InstallerRecord());
    EndSleeper(running);
    ASSERT_EQ(1u, answerer.Texts().size());
    EXPECT_EQ(kErrorText, answerer.Texts()[0]);
}

TEST_F(UpdaterTest, MissingInstallerShowsTheBox)
{
    ASSERT_TRUE(DeleteFileW((m_folder + L"\\zxq_install.exe").c_str()));
    CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
    CScopedHandle updater = StartUpdater(L"999999");
    EXPECT_EQ(0u, WaitForExit(updater, 20000));
    ASSERT_EQ(1u, answerer.Texts().size());
    EXPECT_EQ(kErrorText, answerer.Texts()[0]);
}

// The installer runs only as the file the main program checked and holds:
// not without that hold, nor with a hold on another file.
TEST_F(UpdaterTest, InstallerNotHeldByTheMainProgramIsNotStarted)
{
    const struct
    {
        const wchar_t* held;
        bool hold;
    } cases[] = {{L"", false}, {L"updater.exe", true}};
    for (const auto& c : cases)
    {
        const std::wstring held = c.hold ? Hold(m_folder + L"\\" + c.held) : L"";
        CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
        CScopedHandle updater = StartUpdater(L"999999 " + held);
        EXPECT_EQ(0u, WaitForExit(updater, 20000)) << c.held;
        ASSERT_EQ(1u, answerer.Texts().size()) << c.held;
        EXPECT_EQ(kErrorText, answerer.Texts()[0]);
        EXPECT_EQ(L"", InstallerRecord(0)) << c.held;
    }
}

// While the updater waits for the main program, another process can
// neither replace, rename, delete nor write the installer it holds.
TEST_F(UpdaterTest, HeldInstallerCannotBeReplacedBeforeItStarts)
{
    PROCESS_INFORMATION running = StartSleeper();
    CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
    CScopedHandle updater = StartUpdater(std::to_wstring(running.dwProcessId) + L" " + HoldInstaller());
    ASSERT_EQ(STILL_ACTIVE, WaitForExit(updater, 1000));
    const std::wstring installer = m_folder + L"\\zxq_install.exe";
    const std::wstring other = m_folder + L"\\updater.exe";
    const std::wstring aside = m_folder + L"\\aside.exe";
    EXPECT_FALSE(MoveFileExW(other.c_str(), installer.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(CopyFileW(other.c_str(), installer.c_str(), FALSE));
    EXPECT_FALSE(MoveFileW(installer.c_str(), aside.c_str()));
    EXPECT_FALSE(DeleteFileW(installer.c_str()));
    EXPECT_FALSE(AdoptFileHandle(CreateFileW(installer.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             nullptr, OPEN_EXISTING, 0, nullptr)));
    EndSleeper(running);
    EXPECT_EQ(0u, WaitForExit(updater, 20000));
    EXPECT_EQ(ExpectedRecord(), InstallerRecord());
    EXPECT_TRUE(answerer.Texts().empty());
    DeleteFileW(aside.c_str());
}
