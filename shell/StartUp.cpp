#include "shell/StartUp.h"

#include <objbase.h>
#include <commctrl.h>

#include "engine/suite/Tester.h"
#include "shell/MainDlg.h"
#include "shell/Module.h"
#include "shell/gui/GdiPlus.h"
#include "shell/gui/MessageLoop.h"
#include "base/UiTextIds.h"

namespace
{
const wchar_t kTitle[] = L"Zentrix";

// GDI+ for the windows while it lives.
class CGdiPlusSession
{
public:
    CGdiPlusSession()
    {
        Gdiplus::GdiplusStartupInput input;
        if (Gdiplus::GdiplusStartup(&m_token, &input, nullptr) != Gdiplus::Ok)
            g_module.LogError(L"GDI+ could not be started", GetLastError());
    }
    ~CGdiPlusSession()
    {
        if (m_token)
            Gdiplus::GdiplusShutdown(m_token);
    }
    CGdiPlusSession(const CGdiPlusSession&) = delete;
    CGdiPlusSession& operator=(const CGdiPlusSession&) = delete;

private:
    ULONG_PTR m_token = 0;
};

// The window is gone, but a run that is still stopping may be sending it a
// last message: this thread answers such messages until the run is over, so
// that the run thread never waits for this thread while it waits for the run.
void FinishRun(CTester& tester)
{
    if (tester.IsPaused())
        tester.Resume();
    MSG message;
    while (tester.IsRunning())
    {
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_SENDMESSAGE);
    }
    tester.Shutdown();
}
}

bool StartCom()
{
    const HRESULT result = CoInitialize(nullptr);
    if (FAILED(result))
    {
        g_module.LogError(L"COM could not be initialised", static_cast<DWORD>(result));
        return false;
    }
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
                         nullptr, EOAC_NONE, nullptr);
    return true;
}

void StartCommonControls()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);
}

bool IsAnotherInstanceRunning(int& exitCode)
{
    if (g_module.IsFirstInstance())
        return false;
    exitCode = MessageBoxW(nullptr, g_module.GetString(kTextAnotherInstance), kTitle, MB_ICONWARNING);
    return true;
}

int RunNormalStart(HINSTANCE instance, LPCWSTR commandLine, int showCommand, CTester& tester)
{
    tester.CreateTests();
    int exitCode = 0;
    {
        CGdiPlusSession gdiPlus;
        g_module.SetResourceInstance(instance);
        exitCode = RunMainWindow(commandLine, showCommand, tester);
    }
    FinishRun(tester);
    g_module.Term();
    CoUninitialize();
    return exitCode;
}

int RunMainWindow(LPCWSTR, int showCommand, CTester& tester)
{
    CMessageLoop loop;
    g_module.SetMessageLoop(&loop);
    int exitCode = 0;
    {
        CMainDlg window(tester);
        if (window.Create(g_module.GetResourceInstance()))
        {
            ShowWindow(window, showCommand);
            exitCode = loop.Run();
        }
        else
            g_module.LogError(L"cannot create the main window", GetLastError());
    }
    g_module.SetMessageLoop(nullptr);
    return exitCode;
}
