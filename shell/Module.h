#pragma once
#include <windows.h>
#include <string>

#include "base/LogFile.h"
#include "engine/suite/Tester.h"
#include "net/Settings.h"
#include "shell/LanguageManager.h"
#include "shell/SingleInstanceLock.h"

class CMessageLoop;

// The one global object of the main program: owner of every long-lived
// service. Other code reaches the log, the languages, the run controller,
// the machine identifier and the main window handle only through it.
//
// Constructed before the entry function runs: it then holds the
// single-instance lock (or knows another instance does), and its log has
// written the start-up line. The start-up code calls Init once COM is
// initialised, and Term after the message loop.
class CModule
{
public:
    CModule();
    virtual ~CModule();

    CModule(const CModule&) = delete;
    CModule& operator=(const CModule&) = delete;

    // Loads the languages (warning the user when the current one cannot be
    // loaded), computes the machine identifier (up to 15 seconds) and keeps
    // the instance for the program's resources. S_OK.
    HRESULT Init(HINSTANCE instance);
    void Term();

    // False when another instance of the program runs in this logon session.
    bool IsFirstInstance() const { return m_instanceLock.IsHeld(); }

    CTester& GetTester() { return m_tester; }
    CLenguageManager& GetLanguageManager() { return m_languages; }
    // The UI text of the id in the current language; empty for an unknown
    // id. Callable from any thread; the text stays valid for the program's
    // lifetime, also when the language changes.
    const wchar_t* GetString(int id) { return m_languages.GetString(id); }
    // "11111111-11111111-11111111-11111111" when it could not be computed;
    // empty before Init.
    std::wstring GetUID() const { return m_uid; }

    // Writes one line to the program log "tessarin.log".
    void Log(const std::wstring& text);
    // Writes "Error:\t<description>\t(last error = <n>)".
    void LogError(const std::wstring& description, DWORD lastError);

    CSettings& GetSettings() { return m_settings; }

    HWND GetMainWindow() const { return m_mainWindow; }
    void SetMainWindow(HWND window) { m_mainWindow = window; }

    // The UI thread's message loop while it runs; null otherwise. Windows
    // register their message filters with it.
    CMessageLoop* GetMessageLoop() const { return m_messageLoop; }
    void SetMessageLoop(CMessageLoop* loop) { m_messageLoop = loop; }

    // The module whose resources the windows load.
    HINSTANCE GetResourceInstance() const { return m_resourceInstance; }
    void SetResourceInstance(HINSTANCE instance) { m_resourceInstance = instance; }

    // Creates the folder again if it was deleted meanwhile.
    std::wstring GetAppDataFolder() const;

private:
    // Members are built in this order and destroyed in reverse. The log
    // comes first so that it outlives every member that logs from its
    // constructor or destructor (the tester saves its last score when it is
    // destroyed). The log becomes the process's log sink right away, so
    // the lines of every later member's constructor reach it.
    CLogFile m_log;
    CLogFileSink m_logSink{m_log};
    CSettings m_settings;
    CSingleInstanceLock m_instanceLock;
    CLenguageManager m_languages;
    CLanguageTextSource m_texts{m_languages};
    CTester m_tester;
    std::wstring m_uid;
    HWND m_mainWindow = nullptr;
    CMessageLoop* m_messageLoop = nullptr;
    HINSTANCE m_resourceInstance = nullptr;
};

extern CModule g_module;

// The update check with the program's machine identifier; an installation
// waits while the program's tester runs.
void CheckForProgramUpdates();
