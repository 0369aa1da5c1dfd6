#include "net/WinHttpSupport.h"

#include <vector>

#include "shell/StringFormat.h"

namespace
{
// Frees the strings WinHTTP hands out in a proxy configuration.
std::wstring TakeGlobalText(LPWSTR text)
{
    std::wstring copy = text ? text : L"";
    if (text)
        GlobalFree(text);
    return copy;
}

DWORD ChooseScheme(DWORD supported)
{
    const DWORD preferred[] = {WINHTTP_AUTH_SCHEME_NEGOTIATE, WINHTTP_AUTH_SCHEME_NTLM, WINHTTP_AUTH_SCHEME_PASSPORT,
                               WINHTTP_AUTH_SCHEME_DIGEST};
    for (DWORD scheme : preferred)
        if (supported & scheme)
            return scheme;
    return 0;
}

// A challenge answered this often without success is not going to be: a
// proxy and a server that take turns asking would otherwise keep the caller
// (at start-up, the user interface thread) waiting for ever.
const int kMaxCredentialRounds = 3;
// Sends repeated because WinHTTP asked for it (ERROR_WINHTTP_RESEND_REQUEST),
// over the whole procedure.
const int kMaxResends = 3;

bool ResendAndReceive(HINTERNET request, const RequestBody& body, int& resendsLeft)
{
    for (;;)
    {
        BOOL sent = body.header ? WinHttpSendRequest(request, body.header, static_cast<DWORD>(-1),
                                                     const_cast<void*>(body.data), body.length, body.length, 0)
                                : WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                                     WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
        if (sent && WinHttpReceiveResponse(request, nullptr))
            return true;
        if (GetLastError() != ERROR_WINHTTP_RESEND_REQUEST || resendsLeft == 0)
            return false;
        --resendsLeft;
    }
}

// The announced Content-Length; false when the reply has none.
bool QueryContentLength(HINTERNET request, unsigned long long& length)
{
    wchar_t text[32] = {};
    DWORD size = sizeof(text);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                             WINHTTP_NO_HEADER_INDEX))
        return false;
    wchar_t* end = nullptr;
    length = wcstoull(text, &end, 10);
    return end != text;
}
}

bool SelectProxy(const std::wstring& proxyHost, int proxyPort, ProxySelection& selection)
{
    if (!proxyHost.empty() && proxyPort != 0)
    {
        selection.accessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        selection.proxy = FormatText(L"%ls:%d", proxyHost.c_str(), proxyPort);
        selection.bypass = L"<local>";
        return true;
    }
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ieConfig = {};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&ieConfig))
        return false;
    TakeGlobalText(ieConfig.lpszAutoConfigUrl);
    std::wstring proxy = TakeGlobalText(ieConfig.lpszProxy);
    std::wstring bypass = TakeGlobalText(ieConfig.lpszProxyBypass);
    if (proxy.empty())
    {
        WINHTTP_PROXY_INFO defaultConfig = {};
        if (!WinHttpGetDefaultProxyConfiguration(&defaultConfig))
            return false;
        proxy = TakeGlobalText(defaultConfig.lpszProxy);
        bypass = TakeGlobalText(defaultConfig.lpszProxyBypass);
    }
    selection = ProxySelection();
    if (!proxy.empty())
    {
        selection.accessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        selection.proxy = proxy;
        selection.bypass = bypass;
    }
    return true;
}

HINTERNET OpenSession(const wchar_t* userAgent, const ProxySelection& selection)
{
    return WinHttpOpen(userAgent, selection.accessType,
                       selection.proxy.empty() ? WINHTTP_NO_PROXY_NAME : selection.proxy.c_str(),
                       selection.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : selection.bypass.c_str(), 0);
}

DWORD QueryStatusCode(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return 0;
    return status;
}

DWORD RunAuthentication(HINTERNET request, const std::wstring& user, const std::wstring& password,
                        const RequestBody& body)
{
    DWORD proxyScheme = WINHTTP_AUTH_SCHEME_BASIC;
    DWORD lastStatus = 0;
    int resendsLeft = kMaxResends;
    for (int round = 0; round < kMaxCredentialRounds; ++round)
    {
        if (proxyScheme != 0 && !WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, proxyScheme, user.c_str(),
                                                       password.c_str(), nullptr))
            break;
        if (!ResendAndReceive(request, body, resendsLeft))
            break;
        const DWORD status = QueryStatusCode(request);
        if (status == 0)
            break;
        const DWORD previous = lastStatus;
        lastStatus = status;
        if (status == HTTP_STATUS_OK || !IsAuthenticationStatus(status) || previous == status)
            break;
        DWORD supported = 0, first = 0, target = 0;
        if (!WinHttpQueryAuthSchemes(request, &supported, &first, &target))
            break;
        const DWORD scheme = ChooseScheme(supported);
        if (status == HTTP_STATUS_PROXY_AUTH_REQ)
            proxyScheme = scheme;
        else if (scheme == 0 ||
                 !WinHttpSetCredentials(request, target, scheme, user.c_str(), password.c_str(), nullptr))
            break;
    }
    return lastStatus;
}

bool ReadReplyBody(HINTERNET request, size_t limit, std::string& body)
{
    body.clear();
    std::vector<char> buffer(4096);
    for (;;)
    {
        DWORD read = 0;
        if (!WinHttpReadData(request, buffer.data(), static_cast<DWORD>(buffer.size()), &read))
            return false;
        if (read == 0)
            break;
        if (body.size() + read > limit)
        {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return false;
        }
        body.append(buffer.data(), read);
    }
    unsigned long long announced = 0;
    if (QueryContentLength(request, announced) && announced != body.size())
    {
        SetLastError(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
        return false;
    }
    return true;
}

std::wstring ReplyBytesToText(const std::string& bytes)
{
    const size_t end = bytes.find('\0');
    const int length = static_cast<int>(end == std::string::npos ? bytes.size() : end);
    if (length == 0)
        return std::wstring();
    UINT codePage = CP_UTF8;
    int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (size <= 0)
    {
        codePage = CP_THREAD_ACP;
        size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
        if (size <= 0)
            return std::wstring();
    }
    std::wstring text(size, L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, &text[0], size);
    return text;
}
