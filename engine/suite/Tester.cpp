#include "engine/suite/Tester.h"

#include <exception>

#include "disk/HddTester.h"
#include "engine/cpu/CpuTester.h"
#include "engine/Messages.h"
#include "hardware/MemoryTester.h"
#include "hardware/VideoTester.h"
#include "regscan/SysResourcesTest.h"
#include "base/Folders.h"
#include "base/Log.h"
#include "base/StringFormat.h"

namespace
{
unsigned LogicalProcessorCount()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

// Lets every test (and the scanner, which shares the event) go on.
void ClearPause(HANDLE pauseEvent, RegistryKelvadorLib::CRegistryScaner& scaner, std::atomic<bool>& paused)
{
    SetEvent(pauseEvent);
    scaner.Resume();
    paused = false;
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
    m_registryScaner.SetLog(GetAppDataFolder(), L"RegScaner.log");
}

CTester::~CTester()
{
    // A run still going would use the tests and the pool after they are gone.
    if (IsRunning())
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
        RegisterTest(std::make_unique<CSysResoucesConsumed>(&m_registryScaner));
    }

    for (const auto& test : m_tests)
        test->SetPauseEvent(m_pauseEvent.Get());
    Inventory().SetPauseEvent(m_pauseEvent.Get());
    m_registryScaner.SetPauseEvent(m_pauseEvent.Get());

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
    if (IsRunning())
        return false;

    Log(L"Start tests");
    if (!m_pauseEvent)
    {
        LogError(L"cannot start tests: the pause event could not be created", m_pauseEventError);
        ReportEnd(WM_TESTS_CANCELLED);
        return false;
    }
    // Every run starts resumed: a pause that came in the previous run's
    // last moments must not hold this one.
    ClearPause(m_pauseEvent.Get(), m_registryScaner, m_paused);
    // Cleared here, on the thread that also stops runs, before the run
    // thread exists: a stop that comes at any later moment is kept, however
    // close to a test's start it lands.
    for (const auto& test : m_tests)
        test->ResetCancel();
    Inventory().ResetCancel();
    m_endReported = false;
    if (!Start())
    {
        LogError(L"cannot start tests: the run thread could not be created", GetLastError());
        ReportEnd(WM_TESTS_CANCELLED);
        return false;
    }
    return true;
}

void CTester::Suspend()
{
    // Only a run under way can be paused: nothing would resume a pause
    // after the run, and a stopping run must reach its tests' cancel checks.
    if (!IsRunning() || IsStopped())
        return;
    ResetEvent(m_pauseEvent.Get());
    m_registryScaner.Pause();
    m_paused = true;
    Log(L"Suspend test");
}

void CTester::Resume()
{
    ClearPause(m_pauseEvent.Get(), m_registryScaner, m_paused);
    Log(L"Resume test");
}

void CTester::StopTests()
{
    for (const auto& test : m_tests)
        test->Cancel();
    Inventory().Cancel();
    // Set before anything wakes: a run whose tests return at once must
    // still report the stop.
    RequestStop();
    // The scanner's walk and the tests waiting in a pause wake up and see
    // their cancel flags.
    m_registryScaner.Cancel();
    Resume();
    m_pool.DropQueued();
}

void CTester::AwaitRunEnd()
{
    // A completion message that did not come from the run's end (there is
    // no run, or it is still going) has nothing to wait for.
    if (!m_endReported)
        return;
    // Nothing of the run waits for the window after its completion message.
    if (InSendMessage())
        ReplyMessage(0);
    Join();
}

void CTester::Shutdown()
{
    // The window's close has already stopped, and so resumed, the run: a
    // second "Resume test" would only repeat it.
    ClearPause(m_pauseEvent.Get(), m_registryScaner, m_paused);
    Stop();
}

unsigned CTester::RunTests()
{
    // A stop that came first runs nothing.
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

    Log(L"Finish tests");
    m_endReported = true;
    ReportEnd(IsStopped() ? WM_TESTS_CANCELLED : WM_TESTS_FINISHED);
    return 0;
}

void CTester::ScheduleTest(ITester& test)
{
    m_pool.Schedule([this, &test] {
        // A stop that came after its queue was emptied keeps it from running.
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
        LogError(FormatText(L"test failed with an exception: %hs", error.what()), lastError);
    }
    catch (...)
    {
        LogError(L"test failed with an unknown exception", GetLastError());
    }
}

void CTester::Serialize(CXmlNode& parent, CXmlDocument& document)
{
    Inventory().Serialize(parent, document);
    for (const auto& test : m_tests)
        test->Serialize(parent, document);
}

void CTester::ReportEnd(UINT message) const
{
    SendMessageW(m_completionWindow, message, 0, 0);
}
