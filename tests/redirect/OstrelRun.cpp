#include "tests/redirect/OstrelRun.h"

#include <string>
#include <thread>

std::wstring WriterCommand(const std::wstring& arguments)
{
    return L"\"" + GetProgramFolder() + L"\\console_writer.exe\" " + arguments;
}

COstrelResult RunOstrel(const std::wstring& commandLine)
{
    COstrelResult result;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
    {
        result.exitCode = 0xDEAD;
        return result;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    // The build keeps Ostrel in a folder of its own, beside bin.
    std::wstring ostrel = GetProgramFolder() + L"\\..\\ostrel-x64\\Ostrel.exe";
    std::wstring mutableLine = commandLine;
    BOOL started = CreateProcessW(ostrel.c_str(), &mutableLine[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE,
                                  nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (!started)
    {
        CloseHandle(readEnd);
        result.exitCode = 0xDEAD;
        return result;
    }
    CloseHandle(process.hThread);

    std::string bytes;
    std::thread reader([&] {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read > 0)
            bytes.append(buffer, read);
    });
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 0xDEAD);
    reader.join();
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(readEnd);

    result.text.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    if (bytes.size() % 2)
        result.text += L"<odd byte>";
    return result;
}
