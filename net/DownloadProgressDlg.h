#pragma once
#include <memory>
#include <string>

#include "base/ScopedHandle.h"
#include "net/DownloadJob.h"
#include "net/ModalDialog.h"

// Downloads a file on a thread of its own while showing the progress.
// Ends with IDOK when the download has ended (whatever its outcome) and with
// IDCANCEL at once when the user cancels; a cancelled download stops
// writing and its thread ends by itself.
class CDownloadProgressDlg : public CModalDialog
{
public:
    CDownloadProgressDlg(int filesize, const std::wstring& url, const std::wstring& path);
    ~CDownloadProgressDlg() override;

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    static unsigned __stdcall DownloadThread(void* param);
    void OnInit();
    void ShowProgress(DWORD bytes);
    void Finish(INT_PTR result);

    const double m_totalMB;
    const std::wstring m_url;
    const std::wstring m_path;
    std::shared_ptr<CDownloadJob> m_job;
    CScopedHandle m_thread;
};
