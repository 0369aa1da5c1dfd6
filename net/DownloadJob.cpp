#include "net/DownloadJob.h"

#include <vector>

#include "base/ScopedHandle.h"
#include "net/HttpException.h"
#include "net/Update.h"
#include "net/WinHttpSupport.h"

CDownloadJob::CDownloadJob(std::wstring url, std::wstring path, HWND window)
    : m_url(std::move(url)), m_path(std::move(path)), m_window(window)
{
}

bool CDownloadJob::Attach(HINTERNET request)
{
    CCriticalSectionLock lock(m_lock);
    if (m_cancelled)
    {
        WinHttpCloseHandle(request);
        return false;
    }
    m_request = request;
    return true;
}

void CDownloadJob::Detach()
{
    CCriticalSectionLock lock(m_lock);
    if (m_request)
        WinHttpCloseHandle(m_request);
    m_request = nullptr;
}

void CDownloadJob::Cancel()
{
    CCriticalSectionLock lock(m_lock);
    m_cancelled = true;
    m_window = nullptr;
    // The dialog belongs to the download thread: asked to close, not closed.
    if (m_prompt)
        PostMessageW(m_prompt, WM_COMMAND, IDCANCEL, 0);
    m_prompt = nullptr;
    if (m_request)
        WinHttpCloseHandle(m_request);
    m_request = nullptr;
}

bool CDownloadJob::OpenPrompt(HWND dialog)
{
    CCriticalSectionLock lock(m_lock);
    if (m_cancelled)
        return false;
    m_prompt = dialog;
    return true;
}

void CDownloadJob::ClosePrompt()
{
    CCriticalSectionLock lock(m_lock);
    m_prompt = nullptr;
}

HWND CDownloadJob::Window() const
{
    CCriticalSectionLock lock(m_lock);
    return m_window;
}

bool CDownloadJob::IsCancelled() const
{
    CCriticalSectionLock lock(m_lock);
    return m_cancelled;
}

void CDownloadJob::Notify(UINT message, WPARAM wParam)
{
    CCriticalSectionLock lock(m_lock);
    if (m_window)
        PostMessageW(m_window, message, wParam, 0);
}

bool SplitDownloadUrl(const std::wstring& url, std::wstring& host, std::wstring& path)
{
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1); // keeps the query out of the path
    if (url.empty() || !WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) ||
        parts.dwHostNameLength == 0)
        return false;
    host.assign(parts.lpszHostName, parts.dwHostNameLength);
    path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (path.empty())
        path = L"/";
    return true;
}

namespace
{
// Copies the reply body into the file piece by piece as it arrives.
void ReceiveInto(HINTERNET request, HANDLE file, CDownloadJob& job)
{
    // A cancelled job's request fails on purpose: not worth a log line.
    auto fail = [&job](const wchar_t* text) {
        if (!job.IsCancelled())
            LogUpdateFailure(text);
    };
    DWORD total = 0;
    for (;;)
    {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available))
            return fail(NetworkText::kReceiveError);
        if (available == 0)
            return;
        std::vector<char> buffer;
        try
        {
            buffer.assign(static_cast<size_t>(available) + 1, 0);
        }
        catch (const std::bad_alloc&)
        {
            return LogUpdateFailure(L"Receiving data from server error. Out of memory.");
        }
        DWORD read = 0;
        if (!WinHttpReadData(request, buffer.data(), available, &read))
            return fail(NetworkText::kReceiveError);
        DWORD written = 0;
        if (job.IsCancelled() || !WriteFile(file, buffer.data(), read, &written, nullptr) || written != read)
            return;
        total += read;
        job.Notify(WM_DOWNLOAD_PROGRESS, total);
    }
}

// Answers a proxy's challenge with the user's credentials, then copies the
// reply into the job's file. A cancel, which may come while the proxy
// dialog is open, leaves the request and the file alone.
void SaveReply(HINTERNET request, CDownloadJob& job)
{
    HandleProxyAuthentication(request, RequestBody(), job.Window(), &job);
    if (job.IsCancelled())
        return;
    CScopedHandle file = AdoptFileHandle(CreateFileW(job.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return LogUpdateFailure(L"Receiving data from server error. Can't create file on disk.");
    ReceiveInto(request, file.Get(), job);
}
}

void DownloadFile(CDownloadJob& job)
{
    std::wstring host, path;
    if (!SplitDownloadUrl(job.Url(), host, path))
        return LogUpdateFailure(L"Invalid url for downloading.");
    ProxySelection proxy;
    SelectProxy(L"", 0, proxy);
    CInternetHandle session(OpenSession(kUpdateUserAgent, proxy));
    if (!session)
        return LogUpdateFailure(NetworkText::kConnectionError);
    CInternetHandle connection(WinHttpConnect(session.Get(), host.c_str(), INTERNET_DEFAULT_HTTP_PORT, 0));
    if (!connection)
        return LogUpdateFailure(NetworkText::kConnectionError);
    HINTERNET request = WinHttpOpenRequest(connection.Get(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
    if (!request)
        return LogUpdateFailure(NetworkText::kSendError);
    if (!job.Attach(request))
        return;
    if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        LogUpdateFailure(NetworkText::kSendError);
    else if (!WinHttpReceiveResponse(request, nullptr))
        LogUpdateFailure(L"AnReceiving data from server error.");
    else
        SaveReply(request, job);
    job.Detach();
}
