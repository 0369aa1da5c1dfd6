#include "shell/StringTable.h"

void CStringTable::Set(int id, const std::wstring& text)
{
    CCriticalSectionLock lock(m_lock);
    m_texts[id] = Intern(text);
}

const wchar_t* CStringTable::Get(int id)
{
    CCriticalSectionLock lock(m_lock);
    auto found = m_texts.find(id);
    if (found == m_texts.end())
        found = m_texts.emplace(id, Intern(std::wstring())).first;
    return found->second;
}

void CStringTable::Clear()
{
    CCriticalSectionLock lock(m_lock);
    m_texts.clear();
}

size_t CStringTable::Count() const
{
    CCriticalSectionLock lock(m_lock);
    return m_texts.size();
}

const wchar_t* CStringTable::Intern(const std::wstring& text)
{
    // Set nodes never move, so the pointer lives as long as the pool.
    return m_pool.insert(text).first->c_str();
}
