// Hostile language files: a generated "Fuzz.xml" is the current language of
// a language manager over a scratch folder and registry key, loaded as at
// start (with the fall-back to the default English when it cannot be).
#include <windows.h>

#include <memory>

#include "base/ComSupport.h"
#include "shell/LanguageManager.h"
#include "testbed/support/MessageBoxAnswerer.h"
#include "testbed/fuzz/FuzzCampaign.h"

namespace
{
const wchar_t kScratchKey[] = L"Software\\TessarinFuzzLanguages";

const char kLanguageFile[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ROOT language=\"Deutsch\" short=\"de\">\n"
    "<STRING Id=\"0\">Test starten</STRING>\n<STRING Id=\"1\">Ihre Punktzahl:</STRING>\n"
    "<STRING Id=\"41\">%d Fehler gefunden</STRING>\n<STRING Id=\"45\">Ihr PC leistet %.d%% seines Potenzials</STRING>\n"
    "<STRING Id=\"50\">&lt;Ende&gt; &#x263A;</STRING>\n</ROOT>\n";

std::wstring ScratchFolder()
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"fuzz_languages\\";
}

std::string Generate(CFuzzRandom& random)
{
    return CMutator(random).Mutate(kLanguageFile, 8192);
}

FuzzOutcome Load(const std::string& input)
{
    const std::wstring folder = ScratchFolder();
    CreateDirectoryW(folder.c_str(), nullptr);
    if (!WriteFileBytes(folder + L"Fuzz.xml", input))
        return FuzzOutcome::Fail("cannot write the language file");
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return FuzzOutcome::Fail("cannot create the scratch key");
    RegSetValueExW(key, L"Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Fuzz"), 5 * sizeof(wchar_t));
    RegCloseKey(key);

    CLenguageManager languages(LanguageStorage{HKEY_CURRENT_USER, kScratchKey, folder, nullptr});
    languages.LoadLanguages();
    for (int id = 0; id <= 50; ++id)
        if (!languages.GetString(id))
            return FuzzOutcome::Fail("no text for id " + std::to_string(id));
    // Whatever the file held, the program can still show its texts: the
    // file's own, or the default English ones.
    if (languages.GetLanguageCount() == 0)
        return FuzzOutcome::Fail("no language listed");
    return FuzzOutcome();
}
}

int wmain(int argc, wchar_t** argv)
{
    CComApartment com;
    std::unique_ptr<CMessageBoxAnswerer> answerer;
    const int result = RunFuzzProgram(argc, argv, {{"language_file", Generate, Load, 10000}}, [&answerer] {
        // "Cannot load language file." is answered.
        answerer = std::make_unique<CMessageBoxAnswerer>(L"Zentrix", IDOK);
        return true;
    });
    answerer.reset();
    RegDeleteKeyW(HKEY_CURRENT_USER, kScratchKey);
    return result;
}
