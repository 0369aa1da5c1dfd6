#pragma once
#include <windows.h>
#include <winhttp.h>
#include <string>

#include "base/CriticalSection.h"
#include "net/Update.h"

// One download of the installer, shared by the download thread and the
// progress dialog. The dialog can cancel it at any moment: that closes the
// request the thread reads from, so the thread's blocking call fails and
// the thread ends by itself, writing nothing more and telling no one.
class CDownloadJob : public IProxyPromptGate
{
public:
    CDownloadJob(std::wstring url, std::wstring path, HWND window);
    CDownloadJob(const CDownloadJob&) = delete;
    CDownloadJob& operator=(const CDownloadJob&) = delete;

    const std::wstring& Url() const { return m_url; }
    const std::wstring& Path() const { return m_path; }
    // The progress dialog; null once cancelled (or when there is none).
    HWND Window() const;

    // The thread's request, held for cancelling. False when the job was
    // cancelled already (the request is then closed at once).
    bool Attach(HINTERNET request);
    // The thread is done with the request; it closes it unless cancelled.
    void Detach();
    // Also closes the proxy dialog that is open.
    void Cancel();
    bool IsCancelled() const override;

    bool OpenPrompt(HWND dialog) override;
    void ClosePrompt() override;

    // Posts to the dialog, unless the job was cancelled.
    void Notify(UINT message, WPARAM wParam);

private:
    const std::wstring m_url;
    const std::wstring m_path;
    mutable CCriticalSection m_lock;
    HWND m_window;
    HINTERNET m_request = nullptr;
    HWND m_prompt = nullptr;
    bool m_cancelled = false;
};

// Fetches the job's url into its file (replaced), posting the bytes
// received so far after every piece. Failures are logged and end the
// download, leaving what was written so far.
void DownloadFile(CDownloadJob& job);

// The host and path of an http address; the query and port are dropped.
// False when the address has no host.
bool SplitDownloadUrl(const std::wstring& url, std::wstring& host, std::wstring& path);
