#pragma once
#include <map>
#include <set>
#include <string>

#include "base/CriticalSection.h"

// The UI texts by numeric id, safe to read from any thread while the UI
// thread loads another language. A text handed out stays valid for the
// table's lifetime: texts are kept in a pool that never shrinks, and the
// ids only point into it, so replacing or clearing an id never frees the
// text a worker is still showing.
class CStringTable
{
public:
    void Set(int id, const std::wstring& text);
    // The text of the id; an unknown id gets an empty text from now on.
    const wchar_t* Get(int id);
    void Clear();
    size_t Count() const;

private:
    // Called with the lock held.
    const wchar_t* Intern(const std::wstring& text);

    mutable CCriticalSection m_lock;
    std::set<std::wstring> m_pool;
    std::map<int, const wchar_t*> m_texts;
};
