#pragma once
#include <windows.h>
#include <string>

#include "engine/Tester.h"
#include "shell/LogFile.h"

// The one global object of the main program: owner of every long-lived
// service. Other code reaches the log, the run controller and the main
// window handle only through it.
class CModule
{
public:
    CModule();
    virtual ~CModule();

    CModule(const CModule&) = delete;
    CModule& operator=(const CModule&) = delete;

    CTester& GetTester() { return m_tester; }

    // Writes one line to the program log "tessarin.log".
    void Log(const std::wstring& text);
    // Writes "Error:\t<description>\t(last error = <n>)".
    void LogError(const std::wstring& description, DWORD lastError);

    HWND GetMainWindow() const { return m_mainWindow; }
    void SetMainWindow(HWND window) { m_mainWindow = window; }

    // Creates the folder again if it was deleted meanwhile.
    std::wstring GetAppDataFolder() const;

private:
    // The log comes first so that it outlives every member that logs from
    // its constructor or destructor (the tester saves its last score when
    // it is destroyed).
    CLogFile m_log;
    CTester m_tester;
    HWND m_mainWindow = nullptr;
};

extern CModule g_module;
