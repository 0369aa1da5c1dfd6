#include "shell/gui/MessageLoop.h"

int CMessageLoop::Run()
{
    MSG message = {};
    for (;;)
    {
        const BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == 0)
            return static_cast<int>(message.wParam);
        if (result == -1)
            continue; // a bad window handle in the call: nothing was taken
        if (!PreTranslate(message))
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

bool CMessageLoop::PreTranslate(MSG& message)
{
    // Newest first, on a copy: a filter may remove itself while it runs.
    const std::vector<CMessageFilter*> filters(m_filters.rbegin(), m_filters.rend());
    for (CMessageFilter* filter : filters)
        if (filter->PreTranslateMessage(message))
            return true;
    return false;
}
