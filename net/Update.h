#pragma once
#include <windows.h>
#include <array>
#include <functional>
#include <string>

#include "net/WinHttpSupport.h"

// The update: ask the update server for the latest version, show its
// message page, download the offered installer, check its MD5 and hand over
// to "updater.exe", which installs once this program has ended.

// The update server's reply.
struct UpdateInfo
{
    std::wstring code;
    std::wstring version;
    bool autoload = false;
    std::wstring url;
    int filesize = 0;
    std::wstring filemd5;
    std::wstring title;
    std::wstring message;
};

// How the update check and the download introduce themselves.
constexpr wchar_t kUpdateUserAgent[] = L"Tessarin";

// Window messages to the download dialog: bytes received so far, and the
// end of the download (whatever its outcome).
const UINT WM_DOWNLOAD_PROGRESS = WM_USER + 5;
const UINT WM_DOWNLOAD_DONE = WM_USER + 6;

// The whole check and, when the user accepts or the server says so, the
// installation. Logs its failures. Does not return once the updater has
// been started: the program then ends at once. The request carries the
// machine identifier; runUnderWay tells whether a benchmark run is going,
// which holds an installation back.
void CheckForUpdates(const std::wstring& uid, const std::function<bool()>& runUnderWay);

// The request document for the running version; empty when the DOM cannot
// be created.
std::wstring BuildUpdateRequest(const std::wstring& version);
// False when the text is no XML or its first top-level node is not an
// "update" element.
bool ParseUpdateReply(const std::wstring& text, UpdateInfo& info);

using Version = std::array<int, 4>;
// "a.b.c.d"; missing components are 0.
Version ParseVersion(const std::wstring& text);
bool IsVersionLower(const Version& a, const Version& b);

// Downloads the installer beside the program with a progress dialog, up to
// three times until its MD5 matches; refuses it (deleted, logged, the user
// told as of a failed download) unless the publisher signed it and its own
// version is above the running program's; then starts the updater, which
// takes over the installer held open since its check, and ends the
// program. Returns when the user cancels or the installation failed, and
// (reporting it) when a run is under way, which is never ended half-way.
void InstallUpdate(const std::wstring& url, int filesize, const std::wstring& filemd5,
                   const std::function<bool()>& runUnderWay);

// MD5 of a file as 32 lowercase hexadecimal digits; false when the file
// cannot be read.
bool ComputeFileMd5(const std::wstring& path, std::wstring& md5);
// The same for an open file, read from its start.
bool ComputeFileMd5(HANDLE file, std::wstring& md5);

// Logs "Error:\t<text>\t(last error = <n>)" with the current last error.
void LogUpdateFailure(const wchar_t* text);

// What a cancellable download tells its proxy dialog. A cancel may come
// from another thread at any moment: OpenPrompt decides, in one step with
// the cancel, whether the dialog that is opening may show (false once
// cancelled) and, when it may, keeps it so that a later cancel closes it;
// ClosePrompt forgets it again.
class IProxyPromptGate
{
public:
    virtual bool OpenPrompt(HWND dialog) = 0;
    virtual void ClosePrompt() = 0;
    virtual bool IsCancelled() const = 0;

protected:
    ~IProxyPromptGate() = default;
};

// Answers a 401 or 407 of the request with credentials the user types into
// the proxy dialog, shown over owner. True when no challenge was there or it
// was answered with 200; otherwise logs "Authentication proxy fails." and
// returns false. A download passes its gate: once it is cancelled (before
// the dialog, as it opens or while it is open) no dialog stays, the request,
// which the cancel closed, is not touched again and false is returned
// without a log line.
bool HandleProxyAuthentication(HINTERNET request, const RequestBody& body, HWND owner,
                               IProxyPromptGate* gate = nullptr);
