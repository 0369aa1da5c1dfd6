#include "testbed/support/OstrelRun.h"

#include <process.h>
#include <string>

#include "base/ScopedHandle.h"
#include "base/Folders.h"

namespace
{
const DWORD kCannotStart = 0xDEAD;

struct PipeReader
{
    HANDLE pipe;
    std::string bytes;
};

unsigned __stdcall ReadAll(void* param)
{
    auto* reader = static_cast<PipeReader*>(param);
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(reader->pipe, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        reader->bytes.append(buffer, read);
    return 0;
}
}

std::wstring OstrelBuild(const wchar_t* architecture)
{
    return GetProgramFolder() + L"\\..\\ostrel-" + architecture + L"\\Ostrel.exe";
}

std::wstring WriterCommand(const std::wstring& arguments)
{
    return L"\"" + GetProgramFolder() + L"\\console_writer.exe\" " + arguments;
}

COstrelResult RunOstrel(const std::wstring& ostrelPath, const std::wstring& commandLine, DWORD timeoutMs)
{
    COstrelResult result;
    result.exitCode = kCannotStart;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        return result;
    CScopedHandle readHolder(readEnd);
    CScopedHandle writeHolder(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    std::wstring mutableLine = commandLine;
    BOOL started = CreateProcessW(ostrelPath.c_str(), &mutableLine[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE,
                                  nullptr, nullptr, &startup, &process);
    // The pipe breaks once Ostrel and its child have ended.
    writeHolder.Reset();
    if (!started)
        return result;
    CloseHandle(process.hThread);
    CScopedHandle ostrel(process.hProcess);

    PipeReader reader{readEnd, std::string()};
    CScopedHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ReadAll, &reader, 0, nullptr)));
    if (!thread)
        ReadAll(&reader);
    if (WaitForSingleObject(ostrel.Get(), timeoutMs) != WAIT_OBJECT_0)
        TerminateProcess(ostrel.Get(), kCannotStart);
    if (thread)
        WaitForSingleObject(thread.Get(), INFINITE);
    GetExitCodeProcess(ostrel.Get(), &result.exitCode);

    const std::string& bytes = reader.bytes;
    result.text.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    if (bytes.size() % 2)
        result.text += L"<odd byte>";
    return result;
}
