#pragma once
#include <windows.h>
#include <string>
#include <vector>

#include "net/HttpException.h"
#include "net/HttpParameters.h"
#include "net/WinHttpSupport.h"

namespace Utils { namespace Network {

// Supplies user name and password when a server or proxy asks for them.
class ICredentialsProvider
{
public:
    virtual ~ICredentialsProvider() = default;
    virtual void GetCredentials(std::wstring& user, std::wstring& password) = 0;
};

// Receives a reply body piece by piece. False stops the reading.
class IDataSink
{
public:
    virtual ~IDataSink() = default;
    virtual bool OnData(const char* buffer, DWORD bufferSize, DWORD pieceBytes, unsigned long long received,
                        unsigned long long contentLength) = 0;
};

// One synchronous HTTP exchange with one host over plain HTTP: construct,
// Send once, read, destroy. Every failure throws
// Exception::CNetworkException.
class CHttpClient
{
public:
    // Opens the session (with the proxy SelectProxy chooses) and the
    // connection. Throws codes 2, 0 or 4.
    CHttpClient(const std::wstring& userAgent, const std::wstring& host, const std::wstring& proxyHost, int proxyPort,
                int serverPort);
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    // Sends a request for the path with the parameters as a form body (none
    // when null), receives the reply and answers authentication challenges.
    // Throws codes 1, 3 or 6.
    virtual void Send(const std::wstring& path, const IParametersSet* parameters) = 0;
    // Reads the body in pieces of at most chunkSize bytes. Needs the
    // Content-Length header. Throws code 3.
    virtual void ReadAll(IDataSink& sink, DWORD chunkSize);
    // One read of at most 4096 bytes into a zero-filled buffer of 4096.
    // Throws code 3.
    virtual void ReadChunk(std::vector<char>& buffer, DWORD& count);
    // Used by the next Send; not owned, may be null.
    virtual void SetCredentialsProvider(ICredentialsProvider* provider) { m_credentialsProvider = provider; }

    // The whole body, at most limit bytes. Throws code 3 when a read fails,
    // the body is longer, or it ends early.
    std::string ReadWhole(size_t limit = kMaxReplyBytes);

protected:
    ~CHttpClient() = default;
    void SendWithVerb(const wchar_t* verb, const std::wstring& path, const IParametersSet* parameters);

private:
    void HandleAuthentication(const RequestBody& body);

    CInternetHandle m_session;
    CInternetHandle m_connection;
    CInternetHandle m_request;
    ICredentialsProvider* m_credentialsProvider = nullptr;
};

class CSimpleGetHttpClient : public CHttpClient
{
public:
    using CHttpClient::CHttpClient;
    void Send(const std::wstring& path, const IParametersSet* parameters) override;
};

class CSimplePostHttpClient : public CHttpClient
{
public:
    using CHttpClient::CHttpClient;
    void Send(const std::wstring& path, const IParametersSet* parameters) override;
};

// The content type every form request declares.
constexpr wchar_t kFormContentType[] = L"Content-Type: application/x-www-form-urlencoded; charset=utf-8";

}} // namespace Utils::Network
