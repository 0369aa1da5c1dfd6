#pragma once
#include <windows.h>
#include <string>

// The result upload: the machine identifier and the result document go to
// the web site ("/common/init"); its reply names the user's results page.

class CSettings;

// Whom an upload is for: the machine identifier it is sent with, the
// settings that keep the page the reply names, and the window that owns the
// browser showing that page.
struct ResultUpload
{
    std::wstring uid;
    CSettings& settings;
    HWND owner;
};

// Uploads the document; a page named in the reply becomes the stored
// address and opens in the browser. Failures are logged; the caller goes on
// as usual.
void PostResults(const ResultUpload& upload, const std::wstring& documentText);

// The upload exchange itself, with the site at host:port (the system's
// proxy configuration applies). The page address of the reply, or empty
// when the exchange failed (logged), the reply names none, or it names
// something other than an http or https address (logged).
std::wstring ExchangeResults(const std::wstring& host, int port, const std::wstring& uid,
                             const std::wstring& documentText);

// Reads the site's reply: the text of the first "url" child of the first
// top-level "root" element. False when the text is no XML or has no such
// element.
bool HandleInitReply(const std::wstring& reply, std::wstring& url);

// True for an address that starts with "http://" or "https://".
bool IsWebAddress(const std::wstring& url);
