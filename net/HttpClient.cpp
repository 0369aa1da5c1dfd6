#include "net/HttpClient.h"

#include "base/StringFormat.h"

namespace Utils { namespace Network {

using Exception::CNetworkException;

namespace Exception
{
CException::CException(int code, const wchar_t* text, DWORD lastError)
    : m_code(code), m_message(FormatText(L"%ls. Last error: %d.", text, static_cast<int>(lastError))),
      m_lastError(lastError)
{
}
}

namespace
{
[[noreturn]] void Fail(int code, const wchar_t* text)
{
    throw CNetworkException(code, text, GetLastError());
}
}

CHttpClient::CHttpClient(const std::wstring& userAgent, const std::wstring& host, const std::wstring& proxyHost,
                         int proxyPort, int serverPort)
{
    ProxySelection proxy;
    if (!SelectProxy(proxyHost, proxyPort, proxy))
        Fail(Exception::kProxyConfigFailed, NetworkText::kProxyConfigError);
    m_session.Reset(OpenSession(userAgent.c_str(), proxy));
    if (!m_session)
        Fail(Exception::kSessionFailed, NetworkText::kConnectionError);
    m_connection.Reset(WinHttpConnect(m_session.Get(), host.c_str(), static_cast<INTERNET_PORT>(serverPort), 0));
    if (!m_connection)
        Fail(Exception::kConnectFailed, NetworkText::kConnectionError);
}

void CHttpClient::SendWithVerb(const wchar_t* verb, const std::wstring& path, const IParametersSet* parameters)
{
    m_request.Reset(WinHttpOpenRequest(m_connection.Get(), verb, path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                       WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
    if (!m_request)
        Fail(Exception::kSendFailed, NetworkText::kSendError);
    RequestBody body;
    body.header = kFormContentType;
    if (parameters)
    {
        size_t length = 0;
        body.data = parameters->GetData(length);
        body.length = static_cast<DWORD>(length);
    }
    if (!WinHttpSendRequest(m_request.Get(), body.header, static_cast<DWORD>(-1), const_cast<void*>(body.data),
                            body.length, body.length, 0))
        Fail(Exception::kSendFailed, NetworkText::kSendError);
    if (!WinHttpReceiveResponse(m_request.Get(), nullptr))
        Fail(Exception::kReceiveFailed, NetworkText::kReceiveError);
    HandleAuthentication(body);
}

void CHttpClient::HandleAuthentication(const RequestBody& body)
{
    if (!IsAuthenticationStatus(QueryStatusCode(m_request.Get())))
        return;
    std::wstring user, password;
    if (m_credentialsProvider)
        m_credentialsProvider->GetCredentials(user, password);
    if (RunAuthentication(m_request.Get(), user, password, body) != HTTP_STATUS_OK)
        Fail(Exception::kAuthenticationFailed, NetworkText::kAuthenticationError);
}

void CHttpClient::ReadAll(IDataSink& sink, DWORD chunkSize)
{
    std::vector<char> buffer(chunkSize);
    wchar_t lengthText[32] = {};
    DWORD size = sizeof(lengthText);
    if (!WinHttpQueryHeaders(m_request.Get(), WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, lengthText,
                             &size, WINHTTP_NO_HEADER_INDEX))
        Fail(Exception::kReceiveFailed, NetworkText::kUnknownSize);
    const unsigned long long contentLength = wcstoull(lengthText, nullptr, 10);
    unsigned long long received = 0;
    for (;;)
    {
        DWORD read = 0;
        if (!WinHttpReadData(m_request.Get(), buffer.data(), chunkSize, &read))
            Fail(Exception::kReceiveFailed, NetworkText::kReceiveError);
        received += read;
        if (read == 0 || !sink.OnData(buffer.data(), chunkSize, read, received, contentLength))
            break;
    }
}

void CHttpClient::ReadChunk(std::vector<char>& buffer, DWORD& count)
{
    buffer.assign(4096, 0);
    count = 0;
    if (!WinHttpReadData(m_request.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &count))
        Fail(Exception::kReceiveFailed, NetworkText::kReceiveError);
}

std::string CHttpClient::ReadWhole(size_t limit)
{
    std::string body;
    if (!ReadReplyBody(m_request.Get(), limit, body))
        Fail(Exception::kReceiveFailed, NetworkText::kReceiveError);
    return body;
}

void CSimpleGetHttpClient::Send(const std::wstring& path, const IParametersSet* parameters)
{
    SendWithVerb(L"GET", path, parameters);
}

void CSimplePostHttpClient::Send(const std::wstring& path, const IParametersSet* parameters)
{
    SendWithVerb(L"POST", path, parameters);
}

}} // namespace Utils::Network
