#pragma once
#include <windows.h>
#include <string>

namespace Utils { namespace Network { namespace Exception {

// A failure of the HTTP client: a code (see the constants) and the message
// "<text>. Last error: <n>." built from a fixed text and the Windows last
// error at the point of failure.
class CException
{
public:
    CException(int code, const wchar_t* text, DWORD lastError);
    virtual ~CException() = default;

    int GetCode() const { return m_code; }
    const std::wstring& GetMessage() const { return m_message; }
    DWORD GetLastErrorValue() const { return m_lastError; }

private:
    int m_code;
    std::wstring m_message;
    DWORD m_lastError;
};

class CNetworkException : public CException
{
public:
    using CException::CException;
};

// Codes of CNetworkException.
enum ErrorCode
{
    kSessionFailed = 0,
    kSendFailed = 1,
    kProxyConfigFailed = 2,
    kReceiveFailed = 3,
    kConnectFailed = 4,
    kAuthenticationFailed = 6,
};

}}} // namespace Utils::Network::Exception

// Fixed texts of the network failures, shared with the update check's log lines.
namespace NetworkText
{
constexpr wchar_t kConnectionError[] = L"Internet connection error.";
constexpr wchar_t kSendError[] = L"An error occured by sending data to the server.";
constexpr wchar_t kProxyConfigError[] = L"An error occured by receiving IE proxy configuration";
constexpr wchar_t kReceiveError[] = L"Receiving data from server error.";
constexpr wchar_t kUnknownSize[] = L"Available data size is unknown.";
constexpr wchar_t kAuthenticationError[] = L"Authentication proxy fails.";
}
