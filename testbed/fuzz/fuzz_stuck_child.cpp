// A check of the campaign itself: the second case holds the process heap's
// lock for ever, as a reader deadlocked inside the heap would. The child's
// own watch then cannot act (keeping the case needs the heap), so only the
// parent's clock ends the case. Run with --cases 2: one hang, no crash.
#include <windows.h>

#include "testbed/fuzz/FuzzCampaign.h"

namespace
{
FuzzOutcome HoldTheHeapInTheSecondCase(const std::string&)
{
    static int cases = 0;
    if (++cases == 2)
    {
        HeapLock(GetProcessHeap());
        Sleep(INFINITE);
    }
    return FuzzOutcome();
}
}

int wmain(int argc, wchar_t** argv)
{
    return RunFuzzProgram(argc, argv,
                          {{"heap_lock", [](CFuzzRandom&) { return std::string("case"); }, HoldTheHeapInTheSecondCase,
                            1000}});
}
