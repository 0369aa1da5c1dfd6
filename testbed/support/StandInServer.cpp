#include "testbed/support/StandInServer.h"

#include "base/ScopedHandle.h"
#include "testbed/support/FileBytes.h"
#include "net/HttpClient.h"
#include "base/StringFormat.h"

using namespace Utils::Network;

namespace
{
const wchar_t kConnectionsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
const wchar_t kSettingValue[] = L"DefaultConnectionSettings";
const wchar_t kControlHost[] = L"standin.control";

// Internet Explorer's connection settings: version, counter, flags
// (2 = proxy), then proxy, bypass list and script address, each as a
// length-prefixed ASCII text.
std::string ProxyBlob(const std::string& proxy)
{
    std::string blob;
    auto addDword = [&blob](DWORD value) { blob.append(reinterpret_cast<const char*>(&value), sizeof(value)); };
    auto addText = [&](const std::string& text) {
        addDword(static_cast<DWORD>(text.size()));
        blob += text;
    };
    addDword(0x46);
    addDword(1);
    addDword(2);
    addText(proxy);
    addText("");
    addText("");
    blob.append(32, '\0');
    return blob;
}
}

CStandInServer::CStandInServer(int lifetimeSeconds)
{
    if (Start(lifetimeSeconds))
        PointProxyAt(m_port);
}

CStandInServer::~CStandInServer()
{
    if (m_port != 0)
    {
        Control(L"POST", L"/quit", {});
        RestoreProxy();
    }
    DeleteFileW(m_outputPath.c_str());
}

bool CStandInServer::Start(int lifetimeSeconds)
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    m_outputPath = FormatText(L"%lsstandin-%lu.txt", folder, GetCurrentProcessId());
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    CScopedHandle output = AdoptFileHandle(CreateFileW(m_outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                       &inherit, CREATE_ALWAYS, 0, nullptr));
    if (!output)
        return false;
    // Wine starts Unix programs too; the script's path is a Unix path.
    std::wstring commandLine = FormatText(L"Z:\\usr\\bin\\python3 \"%ls\" --lifetime %d", TESSARIN_STANDIN_SCRIPT,
                                          lifetimeSeconds);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.Get();
    startup.hStdError = output.Get();
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // The script prints its port once it listens.
    for (int attempt = 0; attempt < 100 && m_port == 0; ++attempt)
    {
        Sleep(50);
        m_port = atoi(ReadFileBytes(m_outputPath).c_str());
    }
    return m_port != 0;
}

void CStandInServer::PointProxyAt(int port)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kConnectionsKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    DWORD size = 0;
    if (RegQueryValueExW(key, kSettingValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS)
    {
        m_savedSetting.resize(size);
        m_hadSetting = RegQueryValueExW(key, kSettingValue, nullptr, nullptr,
                                        reinterpret_cast<BYTE*>(&m_savedSetting[0]), &size) == ERROR_SUCCESS;
    }
    const std::string blob = ProxyBlob("127.0.0.1:" + std::to_string(port));
    RegSetValueExW(key, kSettingValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(blob.data()),
                   static_cast<DWORD>(blob.size()));
    RegCloseKey(key);
}

void CStandInServer::RestoreProxy()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kConnectionsKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    if (m_hadSetting)
        RegSetValueExW(key, kSettingValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(m_savedSetting.data()),
                       static_cast<DWORD>(m_savedSetting.size()));
    else
        RegDeleteValueW(key, kSettingValue);
    RegCloseKey(key);
}

std::string CStandInServer::Control(const wchar_t* verb, const std::wstring& path, const Fields& fields)
{
    try
    {
        auto exchange = [&path](CHttpClient& client, const IParametersSet* parameters) {
            client.Send(path, parameters);
            return client.ReadWhole();
        };
        if (std::wstring(verb) == L"GET")
        {
            CSimpleGetHttpClient client(L"StandInControl", kControlHost, L"", 0, 80);
            return exchange(client, nullptr);
        }
        CSimplePostParametersSet body;
        for (const auto& field : fields)
            body.Add(CSimpleTextParameter(field.first, field.second));
        CSimplePostHttpClient client(L"StandInControl", kControlHost, L"", 0, 80);
        return exchange(client, &body);
    }
    catch (const Exception::CNetworkException&)
    {
        return std::string();
    }
}

bool CStandInServer::SetRoute(const std::wstring& path, const Fields& fields)
{
    Fields all = fields;
    all[L"path"] = path;
    return Control(L"POST", L"/route", all) == "ok";
}

bool CStandInServer::Reset()
{
    return Control(L"POST", L"/reset", {}) == "ok";
}

std::wstring CStandInServer::LastField(const std::wstring& name)
{
    return ReplyBytesToText(Control(L"GET", L"/field?name=" + name, {}));
}

std::wstring CStandInServer::LastHeader(const std::wstring& name)
{
    return ReplyBytesToText(Control(L"GET", L"/header?name=" + name, {}));
}

int CStandInServer::Hits(const std::wstring& path)
{
    return atoi(Control(L"GET", L"/hits?path=" + path, {}).c_str());
}
