#include "tests/net/NetTestSupport.h"

#include <wincrypt.h>

#include <memory>

#include <gtest/gtest.h>

namespace
{
std::unique_ptr<CStandInServer> g_server;

class CStandInEnvironment : public testing::Environment
{
public:
    void SetUp() override { g_server.reset(new CStandInServer()); }
    void TearDown() override { g_server.reset(); }
};

testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new CStandInEnvironment);
}

CStandInServer& StandIn()
{
    return *g_server;
}

#include <process.h>

#include "net/HttpParameters.h"
#include "base/StringFormat.h"

CWindowWatcher::CWindowWatcher(std::wstring caption, std::function<bool(HWND)> act, DWORD pollMs)
    : m_caption(std::move(caption)), m_act(std::move(act)), m_pollMs(pollMs),
      m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Watch, this, 0, nullptr)));
}

CWindowWatcher::~CWindowWatcher()
{
    SetEvent(m_stop.Get());
    WaitForSingleObject(m_thread.Get(), INFINITE);
}

unsigned __stdcall CWindowWatcher::Watch(void* param)
{
    auto* self = static_cast<CWindowWatcher*>(param);
    while (!self->m_done && WaitForSingleObject(self->m_stop.Get(), self->m_pollMs) == WAIT_TIMEOUT)
    {
        // A dialog becomes visible once its controls are set up.
        HWND window = FindWindowW(nullptr, self->m_caption.c_str());
        if (window && IsWindowVisible(window) && self->m_act(window))
            InterlockedExchange(&self->m_done, 1);
    }
    return 0;
}

std::wstring ControlText(HWND dialog, int controlId)
{
    wchar_t text[256] = {};
    SendDlgItemMessageW(dialog, controlId, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring Base64Text(const std::string& bytes)
{
    const std::string text = Utils::Network::EncodeBase64(bytes);
    return std::wstring(text.begin(), text.end());
}

std::wstring Md5Text(const std::string& bytes)
{
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE value[16] = {};
    DWORD size = sizeof(value);
    CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT);
    CryptCreateHash(provider, CALG_MD5, 0, 0, &hash);
    CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0);
    CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0);
    CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
    std::wstring text;
    for (BYTE byte : value)
        text += FormatText(L"%02x", byte);
    return text;
}
