#pragma once
#include <windows.h>
#include <vector>

// Sees every message of the loop before it is dispatched; true means the
// filter handled it (a dialog's keyboard navigation, for example).
class CMessageFilter
{
public:
    virtual bool PreTranslateMessage(MSG& message) = 0;

protected:
    ~CMessageFilter() = default;
};

// The message loop of the UI thread, with its filters. Filters are not
// owned; they remove themselves before they go.
class CMessageLoop
{
public:
    void AddMessageFilter(CMessageFilter* filter) { m_filters.push_back(filter); }
    void RemoveMessageFilter(CMessageFilter* filter) { Remove(m_filters, filter); }

    // Dispatches until WM_QUIT; returns its exit code.
    int Run();

private:
    template <class T>
    static void Remove(std::vector<T*>& list, T* item)
    {
        for (auto it = list.begin(); it != list.end(); ++it)
            if (*it == item)
            {
                list.erase(it);
                return;
            }
    }

    bool PreTranslate(MSG& message);

    std::vector<CMessageFilter*> m_filters;
};
