#pragma once
#include <windows.h>
#include <winhttp.h>
#include <string>

// WinHTTP pieces shared by the HTTP client classes and the update check:
// proxy selection, the authentication procedure and bounded reply reading.

// Owns one WinHTTP handle (session, connection or request).
class CInternetHandle
{
public:
    explicit CInternetHandle(HINTERNET handle = nullptr) : m_handle(handle) {}
    ~CInternetHandle() { Reset(); }
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;

    HINTERNET Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void Reset(HINTERNET handle = nullptr)
    {
        if (m_handle)
            WinHttpCloseHandle(m_handle);
        m_handle = handle;
    }

private:
    HINTERNET m_handle;
};

// How a session reaches the network.
struct ProxySelection
{
    DWORD accessType = WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
    std::wstring proxy;
    std::wstring bypass;
};

// A named proxy when the caller gives host and port; otherwise the user's
// Internet Explorer proxy, else WinHTTP's default proxy, else the default
// access type. False (selection untouched) when a configuration cannot be
// read. Automatic detection and scripts are never used.
bool SelectProxy(const std::wstring& proxyHost, int proxyPort, ProxySelection& selection);

// Opens a synchronous session with the selection.
HINTERNET OpenSession(const wchar_t* userAgent, const ProxySelection& selection);

// The request's status code, or 0 when it cannot be queried.
DWORD QueryStatusCode(HINTERNET request);
inline bool IsAuthenticationStatus(DWORD status)
{
    return status == HTTP_STATUS_DENIED || status == HTTP_STATUS_PROXY_AUTH_REQ;
}

// What a resend of the request carries: the content-type header and body,
// or nothing at all when header is null.
struct RequestBody
{
    const wchar_t* header = nullptr;
    const void* data = nullptr;
    DWORD length = 0;
};

// Answers 401 and 407 challenges by resending the request with the
// credentials: first Basic for the proxy, then the strongest other scheme a
// challenge offers (Basic alone is never chosen). Ends at status 200, at a
// second challenge of the same kind, at any other status or a failed call,
// and after three rounds of credentials or three sends repeated at WinHTTP's
// request whatever the answers. Returns the last status queried (0 when
// none was).
DWORD RunAuthentication(HINTERNET request, const std::wstring& user, const std::wstring& password,
                        const RequestBody& body);

// Reads the whole reply body, at most limit bytes. False when a read fails,
// the body is longer than limit, or it ends before its announced length.
bool ReadReplyBody(HINTERNET request, size_t limit, std::string& body);

// The reply's bytes up to the first NUL as text: UTF-8 when they are valid
// UTF-8, otherwise the thread's ANSI code page.
std::wstring ReplyBytesToText(const std::string& bytes);

// Replies the program reads into memory are never longer than this.
constexpr size_t kMaxReplyBytes = 1024 * 1024;
