// Hostile replies of the web site (the result upload's "/common/init") and
// of the update server ("/update"), served by the stand-in server and read
// through the real WinHTTP exchanges. An input is one byte choosing how the
// reply travels (status, length header, pieces), then the reply's body.
#include <windows.h>

#include <memory>

#include "base/ComSupport.h"
#include "net/Deployment.h"
#include "net/HttpParameters.h"
#include "net/Update.h"
#include "net/WebReporting.h"
#include "shell/Module.h"
#include "testbed/support/MessageBoxAnswerer.h"
#include "testbed/support/StandInServer.h"
#include "testbed/fuzz/FuzzCampaign.h"

namespace
{
std::unique_ptr<CStandInServer> g_server;
std::unique_ptr<CMessageBoxAnswerer> g_answerer;

const char kSiteReply[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root><url>http://www.tessarin.test/results/12345</url></root>";
const char kUpdateReply[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><update><product><code>ZX</code><version>9.0.0.1</version>"
    "<autoload>n</autoload><url>http://update.tessarin.test/files/zxq_install.exe?x=1</url>"
    "<filesize>123456</filesize><filemd5>0123456789abcdef0123456789abcdef</filemd5></product>"
    "<message><title>News</title><message>&lt;b&gt;Hello&lt;/b&gt;</message></message></update>";

// How the reply travels: normal, without a length, with a length larger
// than what comes, in many pieces, or with an error or redirect status.
CStandInServer::Fields Transport(unsigned char form)
{
    switch (form % 7)
    {
    case 1: return {{L"length", L"none"}};
    case 2: return {{L"length", L"short"}};
    case 3: return {{L"pieces", L"50"}};
    case 4: return {{L"status", L"500"}};
    case 5: return {{L"status", L"302"}};
    case 6: return {{L"status", L"204"}};
    default: return {};
    }
}

std::string Generate(CFuzzRandom& random, const char* shape)
{
    const char form = static_cast<char>(random.Chance(70) ? 0 : random.Below(7));
    return std::string(1, form) + CMutator(random).Mutate(shape);
}

bool Serve(const std::wstring& path, const std::string& input)
{
    CStandInServer::Fields fields = Transport(input.empty() ? 0 : static_cast<unsigned char>(input[0]));
    const std::string body = input.empty() ? std::string() : input.substr(1);
    const std::string base64 = Utils::Network::EncodeBase64(body);
    fields[L"body_base64"] = std::wstring(base64.begin(), base64.end());
    return g_server->SetRoute(path, fields);
}

FuzzOutcome RunSiteReply(const std::string& input)
{
    if (!Serve(L"/common/init", input))
        return FuzzOutcome::Fail("the stand-in server took no route");
    const std::wstring url = ExchangeResults(kWebSiteHost, INTERNET_DEFAULT_HTTP_PORT, g_module.GetUID(), L"<root/>");
    // Only a web address may reach the shell.
    if (!url.empty() && !IsWebAddress(url))
        return FuzzOutcome::Fail("a page address that is no web address came through");
    return FuzzOutcome();
}

FuzzOutcome RunUpdateReply(const std::string& input)
{
    if (!Serve(L"/update", input))
        return FuzzOutcome::Fail("the stand-in server took no route");
    // Offers are declined and dialogs cancelled by the answerer; an update
    // that got as far as the hand-over would end this process.
    CheckForProgramUpdates();
    return FuzzOutcome();
}

bool SetUp()
{
    static CComApartment com;
    g_answerer = std::make_unique<CMessageBoxAnswerer>(L"Zentrix", IDNO);
    g_module.Init(GetModuleHandleW(nullptr));
    g_server = std::make_unique<CStandInServer>(3600);
    return g_server->IsRunning();
}
}

int wmain(int argc, wchar_t** argv)
{
    const int result =
        RunFuzzProgram(argc, argv,
                       {{"site_reply", [](CFuzzRandom& r) { return Generate(r, kSiteReply); }, RunSiteReply, 20000},
                        {"update_reply", [](CFuzzRandom& r) { return Generate(r, kUpdateReply); }, RunUpdateReply,
                         30000}},
                       SetUp);
    g_server.reset();
    g_answerer.reset();
    return result;
}
