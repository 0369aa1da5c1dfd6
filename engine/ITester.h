#pragma once
#include <windows.h>

class CXmlDocument;
class CXmlNode;

// One benchmark test as the run controller sees it.
class ITester
{
public:
    // Performs the whole test on the calling thread.
    virtual void Run() = 0;
    // Computed on the first call after a run and cached.
    virtual double GetScore() = 0;
    // What the test would score on an idle, healthy system; cached the same way.
    virtual double GetMaxScore() = 0;
    // Appends the test's own section to parent; true when written.
    virtual bool Serialize(CXmlNode& parent, CXmlDocument& document) = 0;
    virtual void SetNotify(HWND window, UINT message) = 0;
    virtual void Cancel() = 0;
    // Clears the cancel flag. The run controller calls it when it starts a
    // run, never the test itself: a stop that lands as the test starts must
    // still end it.
    virtual void ResetCancel() = 0;
    // The shared event: signalled means run, reset means paused.
    virtual void SetPauseEvent(HANDLE event) = 0;

    virtual ~ITester() = default;
};
