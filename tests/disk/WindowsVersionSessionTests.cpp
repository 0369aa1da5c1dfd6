#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ComSupport.h"
#include "base/Folders.h"
#include "engine/XmlDocument.h"
#include "shell/MainDlg.h"
#include "testbed/support/WindowDriver.h"
#include "tests/disk/DiskTestSupport.h"

namespace
{
const DWORD kRunLimitMs = 20 * 60 * 1000;

struct SessionResult
{
    std::wstring failure;
    std::wstring osText;
    std::wstring osCode = L"<none>";
    int analysedDisks = 0;
};

// The result document of one whole run: the Windows text and how many
// drives the disk test analysed.
void ReadResult(const std::wstring& path, SessionResult& result)
{
    CComApartment apartment;
    CXmlDocument document;
    CXmlNode file, root, inventory, text, code, hdd, disks;
    std::vector<CXmlNode> listed;
    if (!document.Create() || !document.Load(path) || !document.GetDocumentNode(file) || !file.GetChild(L"tessarin", root))
    {
        result.failure = L"no result document";
        return;
    }
    if (root.GetChild(L"instaled_hardware", inventory) && inventory.GetChild(L"version_os", text)
        && inventory.GetChild(L"os", code))
    {
        text.GetText(result.osText);
        code.GetText(result.osCode);
    }
    if (root.GetChild(L"hdd_test", hdd) && hdd.GetChild(L"hdds", disks) && disks.GetChildren(L"logical_disk", listed))
        result.analysedDisks = static_cast<int>(listed.size());
}

// The real program, told the Windows version (as is the stand-in
// defragmenter), through one whole run: Begin Test, the result, Optimize
// Your PC (which saves result.xml in its folder), Close.
SessionResult WholeSessionUnder(const std::wstring& wineVersion)
{
    CWineVersionFor program(L"Tessarin.exe", wineVersion);
    CWineVersionFor defragmenter(L"defrag.exe", wineVersion);
    SessionResult result;
    const std::wstring folder = GetProgramFolder();
    const std::wstring resultFile = folder + L"\\result.xml";
    DeleteFileW(resultFile.c_str());
    CProgramWindow window(folder + L"\\Tessarin.exe", L"", folder);
    if (!window.Started() || !window.WaitForWindow(60000) || !window.Click(IDC_BEGIN_TEST))
    {
        result.failure = L"the window did not come up";
        return result;
    }
    if (!WaitUntil([&window] { return window.Visible(IDC_OPTIMIZE) || window.Visible(IDC_BEGIN_TEST); }, kRunLimitMs)
        || !window.Visible(IDC_OPTIMIZE))
    {
        result.failure = L"the run did not finish";
        return result;
    }
    window.Click(IDC_OPTIMIZE);
    ReadResult(resultFile, result);
    DeleteFileW(resultFile.c_str());
    window.PostClick(IDC_CLOSE);
    if (window.WaitForExit(30000) != 1)
        result.failure += L" the program did not close";
    return result;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}
}

// Whole runs are long: only the two versions whose path is new here. With
// Wine reporting 8.1 or 10, the program (whose manifest names them) knows
// its Windows, and the disk test reads the drive optimizer's report.
TEST(WindowsVersionSession, WholeRunsOnWindows81And10)
{
    const std::pair<const wchar_t*, const wchar_t*> versions[] = {
        {L"win81", L"Microsoft Windows 8.1 "},
        {L"win10", L"Microsoft Windows 10 "},
    };
    for (const auto& [wineVersion, name] : versions)
    {
        const SessionResult result = WholeSessionUnder(wineVersion);
        EXPECT_EQ(L"", result.failure) << Narrow(wineVersion);
        EXPECT_EQ(0u, result.osText.find(name)) << Narrow(wineVersion) << ": " << Narrow(result.osText);
        EXPECT_EQ(L"", result.osCode) << Narrow(wineVersion);
        EXPECT_GE(result.analysedDisks, 1) << Narrow(wineVersion);
    }
}
