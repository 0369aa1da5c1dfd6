#include "net/WebReporting.h"

#include <shellapi.h>

#include "engine/XmlDocument.h"
#include "net/Deployment.h"
#include "net/HttpClient.h"
#include "net/Settings.h"
#include "base/Log.h"

using namespace Utils::Network;

namespace
{
const wchar_t kUserAgent[] = L"Zentrix";
const wchar_t kInitPath[] = L"/common/init";

// The first top-level node with the name, walking past declarations and
// comments.
bool FindTopLevel(const CXmlDocument& document, const std::wstring& name, CXmlNode& found)
{
    CXmlNode documentNode, node;
    if (!document.GetDocumentNode(documentNode) || !documentNode.GetFirstChild(node))
        return false;
    do
    {
        std::wstring nodeName;
        if (node.GetType() == NODE_ELEMENT && node.GetName(nodeName) && nodeName == name)
        {
            found = node;
            return true;
        }
    } while (node.MoveToNextSibling());
    return false;
}
}

bool IsWebAddress(const std::wstring& url)
{
    return _wcsnicmp(url.c_str(), L"http://", 7) == 0 || _wcsnicmp(url.c_str(), L"https://", 8) == 0;
}

bool HandleInitReply(const std::wstring& reply, std::wstring& url)
{
    CXmlDocument document;
    CXmlNode root, urlNode;
    if (!document.LoadXml(reply) || !FindTopLevel(document, L"root", root) || !root.GetChild(L"url", urlNode))
        return false;
    return urlNode.GetText(url);
}

std::wstring ExchangeResults(const std::wstring& host, int port, const std::wstring& uid,
                             const std::wstring& documentText)
{
    try
    {
        CSimplePostHttpClient client(kUserAgent, host, L"", 0, port);
        CSimplePostParametersSet parameters;
        parameters.Add(CSimpleTextParameter(L"UID", uid));
        parameters.Add(CSimpleTextParameter(L"data", documentText));
        client.Send(kInitPath, &parameters);
        std::wstring url;
        HandleInitReply(ReplyBytesToText(client.ReadWhole()), url);
        // The address is opened with the shell: anything but a web page
        // (a local program, a file) is refused.
        if (!url.empty() && !IsWebAddress(url))
        {
            LogError(L"The results page address is no web address: " + url, ERROR_INVALID_DATA);
            return std::wstring();
        }
        return url;
    }
    catch (const Exception::CNetworkException& error)
    {
        LogError(error.GetMessage(), error.GetLastErrorValue());
        return std::wstring();
    }
    catch (const CComError&)
    {
        return std::wstring(); // the reply could not be read into the DOM
    }
}

void PostResults(const ResultUpload& upload, const std::wstring& documentText)
{
    const std::wstring url = ExchangeResults(kWebSiteHost, INTERNET_DEFAULT_HTTP_PORT, upload.uid, documentText);
    if (url.empty())
        return;
    upload.settings.SetUrl(url);
    ShellExecuteW(upload.owner, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
