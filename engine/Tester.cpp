#include "engine/Tester.h"

#include <exception>

#include "disk/HddTester.h"
#include "engine/CpuTester.h"
#include "engine/Messages.h"
#include "hardware/MemoryTester.h"
#include "hardware/VideoTester.h"
#include "shell/Module.h"
#include "shell/StringFormat.h"

namespace
{
unsigned LogicalProcessorCount()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}
}

CTester::CTester() : CTester(LogicalProcessorCount())
{
    m_createsScoredTests = true;
}

CTester::CTester(unsigned workerCount)
    : m_pool(workerCount),
      m_pauseEvent(CreateEventW(nullptr, TRUE, TRUE, nullptr))
{
    if (!m_pauseEvent)
        m_pauseEventError = GetLastError();
}

CTester::~CTester()
{
    // A run still going would use the tests and the pool after they are gone.
    if (IsThreadAlive())
        StopTests();
    Stop();
    SaveLastScore();
}

void CTester::CreateTests()
{
    // The scored tests are registered here, in the order the run takes them
    // up: disk, CPU, memory, video, system. The disk test comes first so
    // that it never queues behind CPU-heavy tests on small machines.
    if (m_createsScoredTests)
    {
        RegisterTest(std::make_unique<CHddTester>(m_hardwareInfo));
        RegisterTest(std::make_unique<CCpuTeser>(m_hardwareInfo));
        RegisterTest(std::make_unique<CMemoryTester>(m_hardwareInfo));
        RegisterTest(std::make_unique<CVideoTester>());
    }

    for (const auto& test : m_tests)
        test->SetPauseEvent(m_pauseEvent.Get());
    Inventory().SetPauseEvent(m_pauseEvent.Get());

    LoadLastScore();
}

void CTester::RegisterTest(std::unique_ptr<ITester> test)
{
    m_tests.push_back(std::move(test));
}

void CTester::SetHardwareInfo(std::unique_ptr<ITester> hardwareInfo)
{
    m_inventoryStandIn = std::move(hardwareInfo);
}

ITester& CTester::Inventory()
{
    if (m_inventoryStandIn)
        return *m_inventoryStandIn;
    return m_hardwareInfo;
}

void CTester::SetNotify(HWND window, UINT message)
{
    for (const auto& test : m_tests)
        test->SetNotify(window, message);
}

bool CTester::StartTests()
{
    // Starting joins the previous run thread, which must not still be
    // waiting for this thread to handle a message of its run.
    if (m_running)
        return false;

    g_module.Log(L"Start tests");
    if (!m_pauseEvent)
    {
        g_module.LogError(L"cannot start tests: the pause event could not be created", m_pauseEventError);
        ReportEnd(WM_TESTS_CANCELLED);
        return false;
    }
    // Set here rather than on the run thread, so that a second start can
    // never slip in before the new thread gets going.
    m_running = true;
    if (!Start())
    {
        m_running = false;
        g_module.LogError(L"cannot start tests: the run thread could not be created", GetLastError());
        ReportEnd(WM_TESTS_CANCELLED);
        return false;
    }
    return true;
}

void CTester::Suspend()
{
    ResetEvent(m_pauseEvent.Get());
    m_paused = true;
    g_module.Log(L"Suspend test");
}

void CTester::Resume()
{
    SetEvent(m_pauseEvent.Get());
    m_paused = false;
    g_module.Log(L"Resume test");
}

void CTester::StopTests()
{
    // The stop comes first: a worker that takes up its next test from here
    // on skips it. Set after the cancel flags, a test taken up in between
    // would clear its flag as it starts and run its whole course.
    RequestStop();
    m_pool.DropQueued();
    for (const auto& test : m_tests)
        test->Cancel();
    Inventory().Cancel();
    // Tests waiting in a pause wake up and see their cancel flags.
    Resume();
}

void CTester::Shutdown()
{
    Resume();
    Stop();
}

unsigned CTester::RunTests()
{
    // Run clears the cancel flag, so a stop that came first is checked here.
    if (!IsStopped())
        RunGuarded(Inventory());

    if (!m_tests.empty())
    {
        ScheduleTest(*m_tests.front());
        // The others are queued only once a worker holds the first one.
        m_pool.WaitQueueEmpty();
        for (size_t i = 1; i < m_tests.size(); ++i)
            ScheduleTest(*m_tests[i]);
        m_pool.WaitIdle();
    }

    m_running = false;
    g_module.Log(L"Finish tests");
    ReportEnd(IsStopped() ? WM_TESTS_CANCELLED : WM_TESTS_FINISHED);
    return 0;
}

void CTester::ScheduleTest(ITester& test)
{
    m_pool.Schedule([this, &test] {
        // A stop that comes after its queue was emptied must still keep this
        // test from running: Run clears the test's cancel flag.
        if (!IsStopped())
            RunGuarded(test);
    });
}

void CTester::RunGuarded(ITester& test)
{
    try
    {
        test.Run();
    }
    catch (const std::exception& error)
    {
        DWORD lastError = GetLastError();
        g_module.LogError(FormatText(L"test failed with an exception: %hs", error.what()), lastError);
    }
    catch (...)
    {
        g_module.LogError(L"test failed with an unknown exception", GetLastError());
    }
}

void CTester::Serialize(CXmlNode& parent, CXmlDocument& document)
{
    Inventory().Serialize(parent, document);
    for (const auto& test : m_tests)
        test->Serialize(parent, document);
}

void CTester::ReportEnd(UINT message)
{
    SendMessageW(g_module.GetMainWindow(), message, 0, 0);
}
