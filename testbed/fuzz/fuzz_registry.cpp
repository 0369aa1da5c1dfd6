// Hostile registry contents: a generated plan is planted where the scans
// look (in either registry view), then each scan runs through the registry
// scanner, and the whole system test runs on everything at once; the plan
// is removed after every case. The shortcut scan gets generated shortcuts
// in the start menu instead.
//
// Every registry scan is also judged: beside the case's plan, two control
// entries of that scan are planted, one naming a file that does not exist
// (it must be reported) and one naming a file that does (it must not be),
// and no more errors may name something outside the planted names than the
// scan finds on the registry as it was before any planting.
#include <windows.h>
#include <shlobj.h>

#include <cmath>
#include <cwctype>
#include <map>
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

// The files the sound control entries name; the missing ones name files in
// a folder that never exists.
const wchar_t kSoundFolder[] = L"C:\\TessarinFuzzSound";
const wchar_t kSoundFiles[][32] = {L"TessarinFuzzSound.dll", L"TessarinFuzzSound.exe", L"TessarinFuzzSound.ttf",
                                   L"TessarinFuzzSound.hlp"};

bool CreateSoundFiles()
{
    CreateDirectoryW(kSoundFolder, nullptr);
    for (const wchar_t* name : kSoundFiles)
        if (!WriteFileBytes(std::wstring(kSoundFolder) + L"\\" + name, "MZ"))
            return false;
    return true;
}

RegistryPlanting Entry(HKEY root, const wchar_t* base, const std::wstring& sub, const std::wstring& valueName,
                       const std::wstring& text, DWORD type = REG_SZ)
{
    RegistryPlanting planting;
    planting.root = root;
    planting.base = base;
    planting.sub = sub;
    planting.valueName = valueName;
    planting.hasValue = true;
    planting.type = type;
    planting.data = WideBytes(text) + std::string(sizeof(wchar_t), '\0');
    return planting;
}

RegistryPlanting Key(HKEY root, const wchar_t* base, const std::wstring& sub)
{
    RegistryPlanting planting = Entry(root, base, sub, L"", L"");
    planting.hasValue = false;
    return planting;
}

// One scan's two control entries, and the lower-case text by which a
// reported error names each.
struct ScanControls
{
    RegistryPlan missing;
    std::wstring missingMark;
    RegistryPlan sound;
    std::wstring soundMark;
};

ScanControls ControlsOf(int scanType)
{
    const HKEY machine = HKEY_LOCAL_MACHINE;
    const HKEY user = HKEY_CURRENT_USER;
    const std::wstring gone = L"C:\\TessarinFuzzMissing\\gone";
    const std::wstring sound = std::wstring(kSoundFolder) + L"\\TessarinFuzzSound";
    const std::wstring missingMark = L"tessarinfuzzmissing";
    const std::wstring soundMark = L"tessarinfuzzsound";
    const wchar_t* uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    switch (scanType)
    {
    case ScanTypeCom:
        return {{Entry(HKEY_CLASSES_ROOT, L"CLSID", L"{7E55F022-FFFE-4000-8000-000000000000}\\InprocServer32", L"",
                       gone + L".dll")},
                L"{7e55f022-fffe-",
                {Entry(HKEY_CLASSES_ROOT, L"CLSID", L"{7E55F022-FFFF-4000-8000-000000000000}\\InprocServer32", L"",
                       sound + L".dll")},
                L"{7e55f022-ffff-"};
    case ScanTypeUninstall:
        return {{Entry(machine, uninstall, L"TessarinFuzzMissing", L"DisplayName", L"TessarinFuzz control"),
                 Entry(machine, uninstall, L"TessarinFuzzMissing", L"UninstallString", gone + L".exe /x")},
                missingMark,
                {Entry(machine, uninstall, L"TessarinFuzzSound", L"DisplayName", L"TessarinFuzz control"),
                 Entry(machine, uninstall, L"TessarinFuzzSound", L"UninstallString", sound + L".exe /x")},
                soundMark};
    case ScanTypeFonts:
    {
        const wchar_t* fonts = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
        return {{Entry(machine, fonts, L"", L"TessarinFuzzMissing (TrueType)", gone + L".ttf")}, missingMark,
                {Entry(machine, fonts, L"", L"TessarinFuzzSound (TrueType)", sound + L".ttf")}, soundMark};
    }
    case ScanTypeSharedDll:
    {
        const wchar_t* shared = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
        RegistryPlanting missing = Entry(machine, shared, L"", gone + L"TessarinFuzzMissing.dll", L"");
        RegistryPlanting present = Entry(machine, shared, L"", sound + L".dll", L"");
        for (RegistryPlanting* planting : {&missing, &present})
        {
            planting->type = REG_DWORD;
            planting->data = std::string("\1\0\0\0", 4);
        }
        // This scan never reports an error: neither control may show.
        return {{missing}, L"", {present}, L"tessarinfuzz"};
    }
    case ScanTypeAppPath:
    {
        const wchar_t* paths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
        return {{Entry(machine, paths, L"TessarinFuzzMissing.exe", L"", gone + L".exe")}, missingMark,
                {Entry(machine, paths, L"TessarinFuzzSound.exe", L"", sound + L".exe")}, soundMark};
    }
    case ScanTypeHelpFiles:
    {
        const wchar_t* help = L"SOFTWARE\\Microsoft\\Windows\\Help";
        return {{Entry(machine, help, L"", L"TessarinFuzzMissing.hlp", L"C:\\TessarinFuzzMissing")}, missingMark,
                {Entry(machine, help, L"", L"TessarinFuzzSound.hlp", kSoundFolder)}, soundMark};
    }
    case ScanTypeWinStartup:
    {
        const wchar_t* run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
        return {{Entry(user, run, L"", L"TessarinFuzzMissing", L"\"" + gone + L".exe\" /x")}, missingMark,
                {Entry(user, run, L"", L"TessarinFuzzSound", L"\"" + sound + L".exe\" /x")}, soundMark};
    }
    case ScanTypeFileRefs:
        return {{Entry(user, L"Software", L"TessarinFuzzMissing", L"Path", gone + L".dll")}, missingMark,
                {Entry(user, L"Software", L"TessarinFuzzSound", L"Path", sound + L".dll")}, soundMark};
    case ScanTypeEmptyKeys:
        return {{Key(user, L"Software", L"TessarinFuzzMissing")}, missingMark,
                {Entry(user, L"Software", L"TessarinFuzzSound", L"Value", L"kept")}, soundMark};
    case ScanTypeFileAssoc:
        return {{Entry(HKEY_CLASSES_ROOT, L"", L".tessarinfuzzmissing", L"", L"TessarinFuzzMissingClass")}, missingMark,
                {Entry(HKEY_CLASSES_ROOT, L"", L".tessarinfuzzsound", L"", L"TessarinFuzzSoundClass"),
                 Entry(HKEY_CLASSES_ROOT, L"", L"TessarinFuzzSoundClass\\shell\\open\\command", L"",
                       L"\"" + sound + L".exe\" \"%1\"")},
                soundMark};
    default: return {};
    }
}

std::wstring Lower(const std::wstring& text)
{
    std::wstring lower;
    for (wchar_t c : text)
        lower += static_cast<wchar_t>(std::towlower(c));
    return lower;
}

// The texts of the scan's errors, in lower case, one per description.
std::vector<std::wstring> ReportedTexts(CRegErrorContainer& errors, int scanType)
{
    std::vector<std::wstring> texts;
    for (const auto& error : errors.GetErrors(scanType))
    {
        if (!error->GetFix())
            continue;
        std::vector<CRegErrorDescription> descriptions;
        error->GetFix()->CollectDescriptions(descriptions);
        for (const CRegErrorDescription& description : descriptions)
            texts.push_back(Lower(description.location + L"|" + description.valueName + L"|" +
                                  description.data.substr(0, 4096)));
    }
    return texts;
}

bool NamesAPlanting(const std::wstring& text)
{
    return text.find(L"tessarinfuzz") != std::wstring::npos || text.find(L"{7e55f022-") != std::wstring::npos;
}

size_t Mentioning(const std::vector<std::wstring>& texts, const std::wstring& mark)
{
    size_t count = 0;
    for (const std::wstring& text : texts)
        count += text.find(mark) != std::wstring::npos;
    return count;
}

size_t Unplanted(const std::vector<std::wstring>& texts)
{
    size_t count = 0;
    for (const std::wstring& text : texts)
        count += !NamesAPlanting(text);
    return count;
}

std::vector<std::wstring> Scan(int scanType)
{
    CRegErrorContainer errors;
    g_scanner->AddScan(scanType);
    g_scanner->Scan(&errors, nullptr);
    g_scanner->ClearScans();
    return ReportedTexts(errors, scanType);
}

// What each scan reports on the registry before any planting: taken at the
// child's first case of the scan.
size_t CleanUnplanted(int scanType)
{
    static std::map<int, size_t> clean;
    const auto found = clean.find(scanType);
    if (found != clean.end())
        return found->second;
    return clean[scanType] = Unplanted(Scan(scanType));
}

FuzzOutcome RunScan(int scanType, const std::string& input)
{
    const size_t cleanUnplanted = CleanUnplanted(scanType);
    ScanControls controls = ControlsOf(scanType);
    RegistryPlan plan = DeserializePlan(input);
    plan.insert(plan.end(), controls.missing.begin(), controls.missing.end());
    plan.insert(plan.end(), controls.sound.begin(), controls.sound.end());
    CPlantedPlan planted(SerializePlan(plan));
    const std::vector<std::wstring> reported = Scan(scanType);
    if (!controls.missingMark.empty() && Mentioning(reported, controls.missingMark) == 0)
        return FuzzOutcome::Fail("the planted entry of a missing file was not reported");
    if (!controls.soundMark.empty() && Mentioning(reported, controls.soundMark) != 0)
        return FuzzOutcome::Fail("the planted sound entry was reported");
    const size_t unplanted = Unplanted(reported);
    if (unplanted > cleanUnplanted)
        return FuzzOutcome::Fail(std::to_string(unplanted) + " errors outside the planted names, " +
                                 std::to_string(cleanUnplanted) + " on the clean registry");
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
    CRegErrorContainer errors;
    g_scanner->AddScan(ScanTypeShortcuts);
    g_scanner->Scan(&errors, nullptr);
    g_scanner->ClearScans();
    DeleteFileW(link.c_str());
    return FuzzOutcome();
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
        return CreateSoundFiles();
    });
    g_scanner.reset();
    return result;
}
