#pragma once
#include <string>
#include <vector>

// While it lives, url_recorder.exe (taken from beside the running program)
// is the open command of the http protocol (HKCR\http\shell\open\command)
// in the prefix: every web page the code under test opens through the
// shell lands in the record file instead of a browser. The previous command
// is put back when the object goes.
//
//   CUrlRecorder recorder(scratch / L"urls.txt");
//   ... code that calls ShellExecuteW(..., L"open", L"http://...", ...) ...
//   std::vector<std::wstring> urls = recorder.WaitForUrls(1, 10000);
class CUrlRecorder
{
public:
    explicit CUrlRecorder(std::wstring recordFile);
    ~CUrlRecorder();
    CUrlRecorder(const CUrlRecorder&) = delete;
    CUrlRecorder& operator=(const CUrlRecorder&) = delete;

    // False when the command could not be registered.
    bool IsRegistered() const { return m_registered; }

    // The addresses recorded so far, in order, once at least count have
    // arrived or the time has run out.
    std::vector<std::wstring> WaitForUrls(size_t count, unsigned long timeoutMs) const;

private:
    std::vector<std::wstring> ReadUrls() const;

    std::wstring m_recordFile;
    bool m_registered = false;
    bool m_hadCommand = false;
    std::wstring m_previousCommand;
};
