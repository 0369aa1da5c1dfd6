// Hostile registry contents: a generated plan is planted where the scans
// look (in either registry view), then each scan runs through the registry
// scanner, and the whole system test runs on everything at once; the plan
// is removed after every case. The shortcut scan gets generated shortcuts
// in the start menu instead.
#include <windows.h>
#include <shlobj.h>

#include <cmath>
#include <memory>

#include "base/ComSupport.h"
#include "engine/XmlDocument.h"
#include "regscan/RegistryScaner.h"
#include "regscan/ScanTypes.h"
#include "regscan/SysResourcesTest.h"
#include "testbed/support/ShortcutFile.h"
#include "testbed/fuzz/FuzzCampaign.h"
#include "testbed/fuzz/RegistryPlan.h"

using namespace RegistryKelvadorLib;

namespace
{
std::unique_ptr<CRegistryScaner> g_scanner;

// Removes the case's plantings however the case ends within the process.
class CPlantedPlan
{
public:
    explicit CPlantedPlan(const std::string& input) : m_plan(DeserializePlan(input)) { PlantPlan(m_plan); }
    ~CPlantedPlan() { RemovePlan(m_plan); }

private:
    RegistryPlan m_plan;
};

FuzzOutcome RunScan(int scanType, const std::string& input)
{
    CPlantedPlan planted(input);
    CRegErrorContainer errors;
    g_scanner->AddScan(scanType);
    g_scanner->Scan(&errors, nullptr);
    g_scanner->ClearScans();
    return FuzzOutcome();
}

FuzzOutcome RunSystemTest(const std::string& input)
{
    CPlantedPlan planted(input);
    CSysResoucesConsumed test(g_scanner.get());
    test.Run();
    const double score = test.GetScore();
    if (!std::isfinite(score) || score < 0 || !(test.GetMaxScore() > 0))
        return FuzzOutcome::Fail("score " + std::to_string(score) + " of " + std::to_string(test.GetMaxScore()));
    // The section the result document gets must stay well-formed XML.
    CXmlDocument document, reread;
    CXmlNode root;
    std::wstring text;
    if (!document.Create() || !document.CreateElement(root, L"root") || !document.AppendChild(root) ||
        !test.Serialize(root, document) || !document.GetXml(text) || !reread.LoadXml(text))
        return FuzzOutcome::Fail("the system test's section is no well-formed XML");
    return FuzzOutcome();
}

std::wstring ShortcutPath(const wchar_t* name)
{
    wchar_t folder[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAMS, TRUE);
    return std::wstring(folder) + L"\\" + name;
}

// A shortcut in the start menu: one byte for its form (pointing at itself,
// at a generated target text, or generated file bytes), then the data.
std::string GenerateShortcut(CFuzzRandom& random)
{
    CMutator mutator(random);
    switch (random.Below(3))
    {
    case 0: return std::string(1, '\0');
    case 1: return std::string(1, '\1') + mutator.Mutate(WideBytes(L"C:\\windows\\notepad.exe"), 70000);
    default:
    {
        const std::wstring shape = ShortcutPath(L"TessarinFuzzShape.lnk");
        std::string bytes;
        CreateShortcut(shape, L"C:\\windows\\notepad.exe");
        ReadFileBytes(shape, bytes);
        DeleteFileW(shape.c_str());
        return std::string(1, '\2') + mutator.Mutate(bytes, 4096);
    }
    }
}

FuzzOutcome RunShortcutScan(const std::string& input)
{
    const std::wstring link = ShortcutPath(L"TessarinFuzz.lnk");
    const char form = input.empty() ? 0 : input[0];
    const std::string data = input.empty() ? std::string() : input.substr(1);
    if (form == 0)
        CreateShortcut(link, link);
    else if (form == 1)
        CreateShortcut(link, TextOfWideBytes(data));
    else
        WriteFileBytes(link, data);
    const FuzzOutcome outcome = RunScan(ScanTypeShortcuts, std::string());
    DeleteFileW(link.c_str());
    return outcome;
}

struct NamedScan
{
    const char* name;
    int type;
};

const NamedScan kScans[] = {
    {"reg_com", ScanTypeCom},           {"reg_uninstall", ScanTypeUninstall}, {"reg_fonts", ScanTypeFonts},
    {"reg_shared_dll", ScanTypeSharedDll}, {"reg_app_path", ScanTypeAppPath}, {"reg_help_files", ScanTypeHelpFiles},
    {"reg_startup", ScanTypeWinStartup}, {"reg_file_refs", ScanTypeFileRefs}, {"reg_empty_keys", ScanTypeEmptyKeys},
    {"reg_file_assoc", ScanTypeFileAssoc},
};

std::vector<FuzzReader> Readers()
{
    std::vector<FuzzReader> readers;
    for (const NamedScan& scan : kScans)
    {
        const int type = scan.type;
        readers.push_back({scan.name,
                           [type](CFuzzRandom& random) { return SerializePlan(GenerateRegistryPlan(random, type)); },
                           [type](const std::string& input) { return RunScan(type, input); }, 120000});
    }
    readers.push_back({"reg_shortcuts", GenerateShortcut, RunShortcutScan, 120000});
    readers.push_back({"system_test",
                       [](CFuzzRandom& random) { return SerializePlan(GenerateRegistryPlan(random, -1)); },
                       RunSystemTest, 300000});
    return readers;
}
}

int wmain(int argc, wchar_t** argv)
{
    CComApartment com;
    const int result = RunFuzzProgram(argc, argv, Readers(), [] {
        RemoveFuzzLeftovers();
        SetLongEnvironmentVariable();
        g_scanner = std::make_unique<CRegistryScaner>();
        return true;
    });
    g_scanner.reset();
    return result;
}
