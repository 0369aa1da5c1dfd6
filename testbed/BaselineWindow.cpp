#include "testbed/BaselineWindow.h"

namespace
{
INT_PTR CALLBACK BaselineDialogProc(HWND window, UINT message, WPARAM, LPARAM)
{
    switch (message)
    {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
    case WM_CLOSE:
        DestroyWindow(window);
        PostQuitMessage(1);
        return TRUE;
    default:
        return FALSE;
    }
}

// An in-memory dialog template: no menu, the dialog class, the title.
struct alignas(4) BaselineTemplate
{
    DLGTEMPLATE header;
    WORD menu;
    WORD windowClass;
    wchar_t title[8];
};
}

int RunBaselineWindow(HINSTANCE instance)
{
    // About 560 by 380 pixels, the main window's size, in dialog units.
    const BaselineTemplate dialog = {{WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, 373, 253}, 0, 0, L"Zentrix"};
    if (!CreateDialogIndirectParamW(instance, &dialog.header, nullptr, &BaselineDialogProc, 0))
        return 3;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
