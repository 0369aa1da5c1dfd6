#pragma once
#include <windows.h>

#include <map>
#include <string>

// Runs the stand-in web site and update server (standin_server.py) on
// 127.0.0.1 for as long as the object lives, and points the prefix's
// Internet Explorer proxy setting at it, so that WinHTTP requests for the
// deployment host names reach it. The former proxy setting comes back when
// the object goes. The server ends by itself after lifetimeSeconds.
class CStandInServer
{
public:
    using Fields = std::map<std::wstring, std::wstring>;

    explicit CStandInServer(int lifetimeSeconds = 600);
    ~CStandInServer();
    CStandInServer(const CStandInServer&) = delete;
    CStandInServer& operator=(const CStandInServer&) = delete;

    // False when the server did not start.
    bool IsRunning() const { return m_port != 0; }
    int Port() const { return m_port; }

    // Answers requests for the path (any host) as the fields say: status,
    // body, repeat, length, pieces, delay_ms, auth, user, password (see the
    // script). True when the server took it.
    bool SetRoute(const std::wstring& path, const Fields& fields);
    // Forgets routes and recorded requests.
    bool Reset();
    // A form field of the last POST the server received.
    std::wstring LastField(const std::wstring& name);
    // A header of the last request the server received.
    std::wstring LastHeader(const std::wstring& name);
    // How many requests asked for the path.
    int Hits(const std::wstring& path);

private:
    std::string Control(const wchar_t* verb, const std::wstring& path, const Fields& fields);
    bool Start(int lifetimeSeconds);
    void PointProxyAt(int port);
    void RestoreProxy();

    int m_port = 0;
    std::wstring m_outputPath;
    bool m_hadSetting = false;
    std::string m_savedSetting;
};
