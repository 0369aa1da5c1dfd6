#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "base/CriticalSection.h"
#include "base/ScopedHandle.h"

// Lets tests go through code that shows message boxes: from a thread of its
// own it watches for message boxes with the given title, shown by this or
// any other process on the desktop, records each box's text and answers it
// with the given button (IDOK, IDYES, IDNO, IDCANCEL, ...). The answer is
// repeated while a box stays open, so a missed one cannot leave it waiting.
//
// A box of this process with another title would wait for ever: it is
// cancelled, and recorded as "[title] text", so that a test that did not
// expect it fails instead of hanging.
class CMessageBoxAnswerer
{
public:
    CMessageBoxAnswerer(std::wstring title, int button);
    ~CMessageBoxAnswerer();
    CMessageBoxAnswerer(const CMessageBoxAnswerer&) = delete;
    CMessageBoxAnswerer& operator=(const CMessageBoxAnswerer&) = delete;

    // Waits until at least count boxes have been answered; false when the
    // time runs out first.
    bool WaitForAnswers(size_t count, DWORD timeoutMs) const;
    // The texts of the boxes answered so far, in order.
    std::vector<std::wstring> Texts() const;

private:
    static unsigned __stdcall Watch(void* param);
    static BOOL CALLBACK VisitWindow(HWND window, LPARAM param);
    void AnswerIfWanted(HWND window);

    const std::wstring m_title;
    const int m_button;
    mutable CCriticalSection m_lock;
    std::vector<std::wstring> m_texts;
    // Answered boxes that may still be on the screen for a moment.
    std::set<HWND> m_answered;
    CScopedHandle m_stop;
    CScopedHandle m_thread;
};
