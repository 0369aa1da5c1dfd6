#include "net/DownloadProgressDlg.h"

#include <commctrl.h>
#include <process.h>

#include "net/Update.h"
#include "resources/ResourceIds.h"
#include "shell/Module.h"
#include "shell/StringFormat.h"

namespace
{
const int kTextCancel = 33;
const int kTextDownloading = 34;
const int kTextDownloaded = 35;
const int kTextOf = 38;

BOOL CALLBACK CancelIfOwnedBy(HWND window, LPARAM owner)
{
    if (GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner))
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

// Cancels every dialog the window owns: the download thread's proxy dialog
// must not outlive the download it asks for.
void CancelOwnedDialogs(HWND owner)
{
    EnumWindows(&CancelIfOwnedBy, reinterpret_cast<LPARAM>(owner));
}
}

CDownloadProgressDlg::CDownloadProgressDlg(int filesize, const std::wstring& url, const std::wstring& path)
    : CModalDialog(IDD_DOWNLOAD_PROGRESS), m_totalMB(filesize / 1048576.0), m_url(url), m_path(path)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

CDownloadProgressDlg::~CDownloadProgressDlg()
{
    if (m_job)
        m_job->Cancel();
}

unsigned __stdcall CDownloadProgressDlg::DownloadThread(void* param)
{
    // The thread holds its own reference: a cancelled job outlives the dialog.
    std::unique_ptr<std::shared_ptr<CDownloadJob>> job(static_cast<std::shared_ptr<CDownloadJob>*>(param));
    DownloadFile(**job);
    (*job)->Notify(WM_DOWNLOAD_DONE, 0);
    return 0;
}

void CDownloadProgressDlg::OnInit()
{
    SetProgramIcons();
    SendDlgItemMessageW(Window(), IDC_DOWNLOAD_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SetDlgItemTextW(Window(), IDCANCEL, g_module.GetString(kTextCancel));
    SetDlgItemTextW(Window(), IDC_DOWNLOAD_CAPTION, g_module.GetString(kTextDownloading));
    SetDlgItemTextW(Window(), IDC_DOWNLOAD_AMOUNT,
                    FormatText(L"%ls %.2fKB %ls %.2fMB", g_module.GetString(kTextDownloaded), 0.0,
                               g_module.GetString(kTextOf), 0.0)
                        .c_str());
    SetDlgItemTextW(Window(), IDC_DOWNLOAD_PERCENT, L"0%");

    m_job = std::make_shared<CDownloadJob>(m_url, m_path, Window());
    auto* threadReference = new std::shared_ptr<CDownloadJob>(m_job);
    m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &DownloadThread, threadReference, 0, nullptr)));
    if (!m_thread)
    {
        delete threadReference;
        PostMessageW(Window(), WM_DOWNLOAD_DONE, 0, 0);
    }
}

void CDownloadProgressDlg::ShowProgress(DWORD bytes)
{
    const double kilobytes = bytes / 1024.0;
    const double megabytes = kilobytes / 1024.0;
    const double percent = megabytes < m_totalMB ? megabytes / m_totalMB * 100.0 : 0.0;
    SetDlgItemTextW(Window(), IDC_DOWNLOAD_AMOUNT,
                    FormatText(L"%ls %.2fKB %ls %.2fMB", g_module.GetString(kTextDownloaded), kilobytes,
                               g_module.GetString(kTextOf), m_totalMB)
                        .c_str());
    SetDlgItemTextW(Window(), IDC_DOWNLOAD_PERCENT, FormatText(L"%d%%", static_cast<int>(percent)).c_str());
    SendDlgItemMessageW(Window(), IDC_DOWNLOAD_BAR, PBM_SETPOS, static_cast<int>(percent), 0);
}

void CDownloadProgressDlg::Finish(INT_PTR result)
{
    if (result == IDCANCEL)
    {
        m_job->Cancel(); // the thread ends by itself; nobody waits for it
        CancelOwnedDialogs(Window());
    }
    else if (m_thread)
        WaitForSingleObject(m_thread.Get(), INFINITE); // it has posted its last message
    m_thread.Reset();
    End(result);
}

bool CDownloadProgressDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result)
{
    switch (message)
    {
    case WM_INITDIALOG:
        OnInit();
        result = TRUE;
        return true;
    case WM_DOWNLOAD_PROGRESS:
        ShowProgress(static_cast<DWORD>(wParam));
        return true;
    case WM_DOWNLOAD_DONE:
        Finish(IDOK);
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL)
            return false;
        Finish(IDCANCEL);
        return true;
    default:
        return false;
    }
}
