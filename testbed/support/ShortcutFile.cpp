#include "testbed/support/ShortcutFile.h"

#include <windows.h>
#include <shlobj.h>

#include "base/ComSupport.h"

bool CreateShortcut(const std::wstring& link, const std::wstring& target)
{
    CComPointer<IShellLinkW> shortcut;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(shortcut.Receive()))) ||
        FAILED(shortcut->SetPath(target.c_str())))
        return false;
    CComPointer<IPersistFile> file;
    return SUCCEEDED(shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Receive()))) &&
           SUCCEEDED(file->Save(link.c_str(), TRUE));
}
