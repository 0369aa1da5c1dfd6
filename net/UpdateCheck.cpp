#include "net/Update.h"

#include <cerrno>
#include <cstdio>

#include "engine/XmlDocument.h"
#include "engine/XmlWriting.h"
#include "net/BrowserDialog.h"
#include "net/Deployment.h"
#include "net/HttpClient.h"
#include "net/HttpException.h"
#include "net/ProxyDlg.h"
#include "base/Folders.h"
#include "base/Log.h"
#include "base/UiText.h"
#include "base/UiTextIds.h"

using namespace Utils::Network;

namespace
{
const wchar_t kUpdatePath[] = L"/update";
const wchar_t kProductCode[] = L"ZX";

// A decimal byte count; 0 for anything else (the size only feeds the
// progress display).
int ParseFileSize(const std::wstring& text)
{
    wchar_t* end = nullptr;
    errno = 0;
    const long size = wcstol(text.c_str(), &end, 10);
    return (errno != 0 || size < 0 || end == text.c_str()) ? 0 : static_cast<int>(size);
}

// Texts of the children of a "product" or "message" element.
void ReadProduct(const CXmlNode& product, UpdateInfo& info)
{
    CXmlNode child;
    if (!product.GetFirstChild(child))
        return;
    do
    {
        std::wstring name, text;
        if (child.GetType() != NODE_ELEMENT || !child.GetName(name) || !child.GetText(text))
            continue;
        if (name == L"code")
            info.code = text;
        else if (name == L"version")
            info.version = text;
        else if (name == L"url")
            info.url = text;
        else if (name == L"filemd5")
            info.filemd5 = text;
        else if (name == L"autoload")
            info.autoload = _wcsicmp(text.c_str(), L"y") == 0;
        else if (name == L"filesize")
            info.filesize = ParseFileSize(text);
    } while (child.MoveToNextSibling());
}

void ReadMessage(const CXmlNode& message, UpdateInfo& info)
{
    CXmlNode child;
    if (message.GetChild(L"title", child))
        child.GetText(info.title);
    if (message.GetChild(L"message", child))
        child.GetText(info.message);
}

// Posts the request document and reads the reply; false (logged) when the
// exchange fails.
bool AskUpdateServer(const std::wstring& version, const std::wstring& uid, std::wstring& reply)
{
    ProxySelection proxy;
    SelectProxy(L"", 0, proxy); // unreadable settings leave the default access
    CInternetHandle session(OpenSession(kUpdateUserAgent, proxy));
    if (!session)
        return LogUpdateFailure(NetworkText::kConnectionError), false;
    CInternetHandle connection(WinHttpConnect(session.Get(), kUpdateServerHost, INTERNET_DEFAULT_HTTP_PORT, 0));
    if (!connection)
        return LogUpdateFailure(NetworkText::kConnectionError), false;
    CInternetHandle request(WinHttpOpenRequest(connection.Get(), L"POST", kUpdatePath, nullptr, WINHTTP_NO_REFERER,
                                               WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
    if (!request)
        return LogUpdateFailure(NetworkText::kSendError), false;

    CSimplePostParametersSet parameters;
    if (!parameters.Add(CSimpleTextParameter(L"xml", BuildUpdateRequest(version))))
        return LogUpdateFailure(L"convert request to UTF8 failed."), false;
    if (!parameters.Add(CSimpleTextParameter(L"UID", uid)))
        return LogUpdateFailure(L"convert UID to UTF8 failed."), false;
    size_t length = 0;
    RequestBody body;
    body.header = kFormContentType;
    body.data = parameters.GetData(length);
    body.length = static_cast<DWORD>(length);
    if (!WinHttpSendRequest(request.Get(), body.header, static_cast<DWORD>(-1), const_cast<void*>(body.data),
                            body.length, body.length, 0))
        return LogUpdateFailure(NetworkText::kSendError), false;
    if (!WinHttpReceiveResponse(request.Get(), nullptr))
        return LogUpdateFailure(NetworkText::kReceiveError), false;
    HandleProxyAuthentication(request.Get(), body, GetActiveWindow()); // a failure shows in the reply

    std::string bytes;
    if (!ReadReplyBody(request.Get(), kMaxReplyBytes, bytes))
        return LogUpdateFailure(NetworkText::kReceiveError), false;
    reply = ReplyBytesToText(bytes);
    return true;
}

bool UserWantsUpdate()
{
    return MessageBoxW(GetActiveWindow(), GetUiText(kTextUpdateAvailable), L"Zentrix",
                       MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}
}

std::wstring BuildUpdateRequest(const std::wstring& version)
{
    CXmlDocument document;
    CXmlNode update, product;
    if (!document.Create())
        return std::wstring();
    document.CreateProcessingInstruction(L"xml", L"version=\"1.0\" encoding=\"UTF-8\"");
    if (!document.CreateElement(update, L"update") || !document.AppendChild(update) ||
        !document.CreateElement(product, L"product") || !update.AppendChild(product))
        return std::wstring();
    AppendTextElement(document, product, L"code", kProductCode);
    AppendTextElement(document, product, L"version", version);
    std::wstring text;
    document.GetXml(text);
    return text;
}

bool ParseUpdateReply(const std::wstring& text, UpdateInfo& info)
{
    CXmlDocument document;
    CXmlNode documentNode, update, child;
    std::wstring name;
    if (!document.LoadXml(text) || !document.GetDocumentNode(documentNode) || !documentNode.GetFirstChild(update) ||
        update.GetType() != NODE_ELEMENT || !update.GetName(name) || name != L"update")
        return false;
    if (!update.GetFirstChild(child))
        return true;
    do
    {
        if (child.GetType() != NODE_ELEMENT || !child.GetName(name))
            continue;
        if (name == L"product")
            ReadProduct(child, info);
        else if (name == L"message")
            ReadMessage(child, info);
    } while (child.MoveToNextSibling());
    return true;
}

Version ParseVersion(const std::wstring& text)
{
    Version version = {0, 0, 0, 0};
    swscanf(text.c_str(), L"%d.%d.%d.%d", &version[0], &version[1], &version[2], &version[3]);
    return version;
}

bool IsVersionLower(const Version& a, const Version& b)
{
    return a < b;
}

void LogUpdateFailure(const wchar_t* text)
{
    LogError(text, GetLastError());
}

bool HandleProxyAuthentication(HINTERNET request, const RequestBody& body, HWND owner, IProxyPromptGate* gate)
{
    auto cancelled = [gate] { return gate && gate->IsCancelled(); };
    if (cancelled())
        return false;
    if (!IsAuthenticationStatus(QueryStatusCode(request)))
        return true;
    CProxyDlg dialog(gate ? [gate](HWND opening) { return gate->OpenPrompt(opening); } : CProxyDlg::OpenCheck());
    const INT_PTR answer = dialog.DoModal(owner);
    if (gate)
        gate->ClosePrompt();
    if (cancelled())
        return false;
    if (answer != IDOK ||
        RunAuthentication(request, dialog.GetUser(), dialog.GetPassword(), body) != HTTP_STATUS_OK)
    {
        LogUpdateFailure(NetworkText::kAuthenticationError);
        return false;
    }
    return true;
}

void CheckForUpdates(const std::wstring& uid, const std::function<bool()>& runUnderWay)
{
    Log(L"Checking for updates");
    const std::wstring version = GetFileVersionText(GetProgramPath());
    std::wstring reply;
    if (!AskUpdateServer(version, uid, reply))
        return;
    UpdateInfo info;
    if (!ParseUpdateReply(reply, info))
    {
        LogUpdateFailure(L"Invalid server response.");
        return;
    }
    if (!info.message.empty())
        CBrowserDialog(info.title, info.message).DoModal(GetActiveWindow());
    if (IsVersionLower(ParseVersion(version), ParseVersion(info.version)) && (info.autoload || UserWantsUpdate()))
        InstallUpdate(info.url, info.filesize, info.filemd5, runUnderWay);
}
