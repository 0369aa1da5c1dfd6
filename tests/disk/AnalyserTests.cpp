#include <windows.h>
#include <process.h>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "disk/DefragAnalyser.h"
#include "disk/OstrelFile.h"
#include "disk/OstrelResources.h"
#include "disk/ProcessKiller.h"
#include "base/ScopedHandle.h"
#include "testbed/support/FileBytes.h"
#include "testbed/support/LogRecorder.h"
#include "tests/disk/DiskTestSupport.h"

namespace
{
// A cancelled analysis returns at once; this only bounds a wait that would
// otherwise hang on a fault.
const DWORD kPromptEndMs = 5000;

struct AnalysisOutcome
{
    bool succeeded;
    double fragmentation;
    int progress;
};

// One analysis of drive C: on this thread, the Windows version the analyser
// assumes given by form, the one the stand-in sees by wineVersion.
AnalysisOutcome Analyse(const std::wstring& wineVersion, DefragForm form)
{
    CWineVersionFor version(L"defrag.exe", wineVersion);
    CDefragAnalyser analyser(L"C", OstrelHost(), form);
    analyser.Analyse();
    EXPECT_EQ(L"C", analyser.GetDrive());
    return {analyser.Succeeded(), analyser.GetFragmentation(), analyser.GetProgress()};
}

std::string ResourceBytes(HMODULE module, WORD id)
{
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"EXE");
    if (!resource)
        return std::string();
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, resource)));
    return std::string(bytes, SizeofResource(module, resource));
}
}

TEST(OstrelFile, WritesTheNativeBuildBesideItsModuleAndDeletesOnlyWhatItWrote)
{
    EXPECT_EQ(IDR_OSTREL_X64, COstrelFile::ResourceFor(PROCESSOR_ARCHITECTURE_AMD64));
    EXPECT_EQ(IDR_OSTREL_X86, COstrelFile::ResourceFor(PROCESSOR_ARCHITECTURE_INTEL));
    EXPECT_EQ(0, COstrelFile::ResourceFor(PROCESSOR_ARCHITECTURE_IA64));

    ASSERT_NE(nullptr, OstrelHost());
    std::wstring path = OstrelHostFolder() + L"\\Ostrel.exe";
    {
        COstrelFile ostrel(OstrelHost());
        EXPECT_EQ(path, ostrel.Path());
        ASSERT_TRUE(ostrel.Extract(IDR_OSTREL_X64));
        std::string expected = ResourceBytes(OstrelHost(), IDR_OSTREL_X64);
        EXPECT_GT(expected.size(), 1000u);
        EXPECT_EQ(expected, ReadFileBytes(path));
        // A missing resource is a failure, not an empty program.
        EXPECT_FALSE(ostrel.Extract(999));
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));

    // A module without the resources writes nothing and so deletes nothing,
    // not even an Ostrel.exe that was there before.
    {
        COstrelFile other(OstrelHost());
        ASSERT_TRUE(other.Extract(IDR_OSTREL_X64));
        {
            COstrelFile resourceless(OstrelHost());
            EXPECT_FALSE(resourceless.Extract(999));
        }
        EXPECT_TRUE(ResourceBytes(OstrelHost(), IDR_OSTREL_X64) == ReadFileBytes(path)) << "deleted by a file that wrote nothing";
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
}

// The stand-in refuses the arguments of another Windows version ("-a" on 7,
// "/u /a" before it, either on 8 and later), so each success also proves the
// arguments.
TEST(DefragAnalyser, ReadsTheReportOfEachWindowsVersionEndToEnd)
{
    CScopedEnvironment figure(L"TESSARIN_DEFRAG_FRAGMENTATION", L"12.5");
    CLogRecorder log;
    AnalysisOutcome seven = Analyse(L"win7", DefragForm::Windows7);
    // The prefix is 64-bit: a 32-bit analysis too must run the x64 Ostrel,
    // to which system32 is the real one.
    EXPECT_EQ(1, log.Count(L"x64 Ostrel exe\r\n"));
    EXPECT_EQ(0, log.Count(L"x86 Ostrel exe\r\n"));
    EXPECT_TRUE(seven.succeeded);
    EXPECT_DOUBLE_EQ(12.5, seven.fragmentation);
    EXPECT_EQ(100, seven.progress);

    // Wine tells the stand-in 6.2 for both (it has no manifest), as Windows
    // 8.1 and 10 tell their own optimizer's callers without one.
    for (const wchar_t* optimizerVersion : {L"win81", L"win10"})
    {
        AnalysisOutcome optimizer = Analyse(optimizerVersion, DefragForm::Windows8OrLater);
        EXPECT_TRUE(optimizer.succeeded);
        EXPECT_DOUBLE_EQ(12.5, optimizer.fragmentation);
        EXPECT_EQ(100, optimizer.progress);
        EXPECT_FALSE(Analyse(optimizerVersion, DefragForm::XpOrVista).succeeded);
    }

    AnalysisOutcome vista = Analyse(L"vista", DefragForm::XpOrVista);
    EXPECT_TRUE(vista.succeeded);
    EXPECT_DOUBLE_EQ(12.5, vista.fragmentation);

    AnalysisOutcome xp = Analyse(L"winxp64", DefragForm::XpOrVista);
    EXPECT_TRUE(xp.succeeded);
    EXPECT_DOUBLE_EQ(12.5, xp.fragmentation);

    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((OstrelHostFolder() + L"\\Ostrel.exe").c_str()));
}

// A cancel may come at any moment of the start: before Ostrel runs, while
// Ostrel starts the defragmenter, or once the defragmenter hangs (the
// stand-in draws up to 40 % and then waits forever). Each time the whole
// tree the analysis started ends, and the analysis returns without a result.
TEST(DefragAnalyser, CancelAtAnyMomentEndsTheWholeTree)
{
    CScopedEnvironment hang(L"TESSARIN_DEFRAG_MODE", L"hang");
    CWineVersionFor version(L"defrag.exe", L"win7");
    const wchar_t* const defrag = L"defrag.exe";
    const wchar_t* const ostrel = L"Ostrel.exe";
    struct Moment
    {
        const char* name;
        std::function<bool(const CDefragAnalyser&)> reached;
    };
    const Moment moments[] = {
        {"right after the start", [](const CDefragAnalyser&) { return true; }},
        {"once Ostrel runs", [&](const CDefragAnalyser&) { return CountProcessesNamed(ostrel) > 0; }},
        {"once the defragmenter hangs", [](const CDefragAnalyser& analyser) { return analyser.GetProgress() == 40; }},
    };
    for (const Moment& moment : moments)
    {
        CDefragAnalyser analyser(L"C", OstrelHost(), DefragForm::Windows7);
        CScopedHandle thread(
            reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CDefragAnalyser::ThreadProc, &analyser, 0, nullptr)));
        ASSERT_TRUE(thread);
        for (int i = 0; i < 3000 && !moment.reached(analyser); ++i)
            Sleep(1);
        EXPECT_TRUE(moment.reached(analyser)) << moment.name;

        analyser.Cancel();
        analyser.KillDefragProcesses();
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), kPromptEndMs)) << moment.name;
        EXPECT_EQ(0, CountProcessesNamed(defrag)) << moment.name;
        EXPECT_EQ(0, CountProcessesNamed(ostrel)) << moment.name;
        // Whatever survived a fault holds the test's output streams (and
        // the analysis thread, which still uses the analyser).
        while (TerminateFirstNamed(&defrag, 1) || TerminateFirstNamed(&ostrel, 1))
            Sleep(10);
        WaitForSingleObject(thread.Get(), INFINITE);
        EXPECT_FALSE(analyser.Succeeded()) << moment.name;
    }
}
