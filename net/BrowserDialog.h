#pragma once
#include <string>

#include "base/ScopedHandle.h"
#include "net/BrowserView.h"
#include "net/ModalDialog.h"

// A resizable dialog that shows one web page (the update server's
// message) under the given title. The page gets no context menu.
class CBrowserDialog : public CModalDialog
{
public:
    CBrowserDialog(const std::wstring& title, const std::wstring& url);
    ~CBrowserDialog() override;

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    static unsigned __stdcall WatchForDocumentWindow(void* param);
    void OnInit();
    void Close();
    void StopWatcher();

    const std::wstring m_title;
    const std::wstring m_url;
    CWTLBrowserView m_view;
    CScopedHandle m_stopWatcher;
    CScopedHandle m_watcher;
};
