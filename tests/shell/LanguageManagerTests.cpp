#include <windows.h>
#include <objbase.h>
#include <process.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/ScopedHandle.h"
#include "base/Folders.h"
#include "shell/LanguageManager.h"
#include "base/RegistryKey.h"
#include "testbed/support/MessageBoxAnswerer.h"
#include "testbed/support/LogRecorder.h"
#include "tests/shell/LanguageTestSupport.h"
#include "tests/shell/ShellTestSupport.h"

namespace
{
const wchar_t kTestParentKey[] = L"Software\\TessarinTests";
const wchar_t kTestKey[] = L"Software\\TessarinTests\\Languages";
const wchar_t kCannotLoad[] = L"Cannot load language file.";
const wchar_t kCannotLoadLine[] = L"Error:\tCannot load language file.\t(last error = ";

using Texts = std::vector<std::pair<int, std::wstring>>;

// A language document in UTF-8; rootAttributes and the id attribute's name
// are written as given.
std::string LanguageXml(const std::wstring& rootAttributes, const Texts& texts, const std::wstring& idName = L"Id")
{
    std::wstring xml = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ROOT " + rootAttributes + L">\r\n";
    for (const auto& text : texts)
        xml += L"  <STRING " + idName + L"=\"" + std::to_wstring(text.first) + L"\">" + text.second + L"</STRING>\r\n";
    return Utf8Bytes(xml + L"</ROOT>\r\n");
}

Texts NumberedTexts(int count, const std::wstring& prefix)
{
    Texts texts;
    for (int id = 0; id < count; ++id)
        texts.emplace_back(id, prefix + std::to_wstring(id));
    return texts;
}

std::wstring ShippedLanguageFile(const std::wstring& stem)
{
    return GetProgramFolder() + L"\\Languages\\" + stem + L".xml";
}

int CountPlaceholders(const std::wstring& text)
{
    int count = 0;
    for (size_t at = text.find(L'%'); at != std::wstring::npos; at = text.find(L'%', at + 1))
        ++count;
    return count;
}
}

// The language files of a scratch folder and a registry key of their own.
class LanguageManagerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    static void TearDownTestSuite() { ::CoUninitialize(); }

    void TearDown() override
    {
        RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, kTestParentKey);
    }

    LanguageStorage Storage() const { return LanguageStorage{HKEY_CURRENT_USER, kTestKey, m_folder.Path() + L"\\", nullptr}; }

    std::wstring Write(const std::wstring& name, const std::string& bytes) const
    {
        WriteFileBytes(m_folder / name, bytes);
        return m_folder / name;
    }

    void SetCurrentLanguage(const std::wstring& stem) const
    {
        CRegistryKey key;
        ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, kTestKey, KEY_WRITE));
        ASSERT_TRUE(key.WriteString(L"Language", stem));
    }

    std::wstring CurrentLanguage() const { return ReadRegistryText(HKEY_CURRENT_USER, kTestKey, L"Language"); }

    static size_t IndexOf(const CLenguageManager& manager, const std::wstring& stem)
    {
        const std::vector<LanguageEntry> entries = manager.GetLanguages();
        for (size_t i = 0; i < entries.size(); ++i)
        {
            if (entries[i].fileStem == stem)
                return i;
        }
        return entries.size();
    }

    CScratchFolder m_folder;
};

TEST_F(LanguageManagerTest, ReadsRootAttributesAndIdsByPosition)
{
    const std::wstring path = Write(L"Swapped.xml", Utf8Bytes(
        L"<ROOT short=\"de\" language=\"Deutsch\">"
        L"<STRING ID=\"0\">Null</STRING><STRING Id=\"1\">Eins</STRING><STRING key=\"2\">Zwei</STRING>"
        L"<TEXT Id=\"3\">not a string</TEXT><STRING>no id</STRING><STRING Id=\"1\">Eins neu</STRING></ROOT>"));
    CLenguageManager manager(Storage());
    ASSERT_TRUE(manager.LoadLanguageFile(path));
    EXPECT_EQ(L"de", manager.GetLanguageName());
    EXPECT_EQ(L"Deutsch", manager.GetLanguageCode());
    EXPECT_STREQ(L"Null", manager.GetString(0));
    EXPECT_STREQ(L"Eins neu", manager.GetString(1));
    EXPECT_STREQ(L"Zwei", manager.GetString(2));
    EXPECT_STREQ(L"", manager.GetString(3));

    std::wstring name;
    std::wstring code;
    ASSERT_TRUE(CLenguageManager::ReadLanguageHeader(path, name, code));
    EXPECT_EQ(L"de", name);
    EXPECT_EQ(L"Deutsch", code);

    // The root's name is matched exactly.
    const std::wstring lowerCase = Write(L"Lower.xml", "<root language=\"English\" short=\"en\"></root>");
    EXPECT_FALSE(manager.LoadLanguageFile(lowerCase));
    EXPECT_FALSE(CLenguageManager::ReadLanguageHeader(lowerCase, name, code));
}

TEST_F(LanguageManagerTest, ABrokenFileKeepsTheTextsLoadedBeforeTheError)
{
    CLenguageManager manager(Storage());
    ASSERT_TRUE(manager.LoadLanguageFile(Write(L"Good.xml", LanguageXml(L"language=\"Good\" short=\"g\"",
                                                                       {{0, L"a"}, {1, L"b"}, {2, L"c"}}))));

    std::string junk(1024 * 1024, '\0');
    for (size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<char>((i * 7919) % 251);
    const std::pair<const wchar_t*, std::string> broken[] = {
        {L"NotXml.xml", "this is no XML"},
        {L"NoRoot.xml", "<LANGUAGE language=\"X\" short=\"x\"><STRING Id=\"0\">x</STRING></LANGUAGE>"},
        {L"NoAttributes.xml", "<ROOT><STRING Id=\"0\">x</STRING></ROOT>"},
        {L"OneAttribute.xml", "<ROOT language=\"X\"><STRING Id=\"0\">x</STRING></ROOT>"},
        {L"Unclosed.xml", "<ROOT language=\"X\" short=\"x\"><STRING Id=\"0\">x</STRING>"},
        {L"Junk.xml", junk},
    };
    for (const auto& file : broken)
    {
        EXPECT_FALSE(manager.LoadLanguageFile(Write(file.first, file.second))) << file.first;
        std::wstring name;
        std::wstring code;
        EXPECT_FALSE(CLenguageManager::ReadLanguageHeader(m_folder / file.first, name, code)) << file.first;
    }
    EXPECT_FALSE(manager.LoadLanguageFile(m_folder / L"Missing.xml"));
    EXPECT_STREQ(L"a", manager.GetString(0));

    // An id that is no number ends the load: the texts before it are merged,
    // those after it are not, and the language keeps its name.
    EXPECT_FALSE(manager.LoadLanguageFile(Write(L"BadId.xml", "<ROOT language=\"Bad\" short=\"b\">"
                                                              "<STRING Id=\"0\">new a</STRING>"
                                                              "<STRING Id=\"one\">bad</STRING>"
                                                              "<STRING Id=\"2\">new c</STRING></ROOT>")));
    EXPECT_STREQ(L"new a", manager.GetString(0));
    EXPECT_STREQ(L"b", manager.GetString(1));
    EXPECT_STREQ(L"c", manager.GetString(2));
    EXPECT_EQ(L"Good", manager.GetLanguageName());
    EXPECT_EQ(L"g", manager.GetLanguageCode());
}

TEST_F(LanguageManagerTest, ReadsUtf8AndUtf16Files)
{
    CLenguageManager manager(Storage());
    ASSERT_TRUE(manager.LoadLanguageFile(
        Write(L"Utf8.xml", LanguageXml(L"language=\"Fran\u00e7ais\" short=\"fr\"", {{0, L"\u00e9t\u00e9 \u20ac"}}))));
    EXPECT_EQ(L"Fran\u00e7ais", manager.GetLanguageName());
    EXPECT_STREQ(L"\u00e9t\u00e9 \u20ac", manager.GetString(0));

    ASSERT_TRUE(manager.LoadLanguageFile(Write(L"Utf16.xml", Utf16Bytes(L"\ufeff<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
                                                                         L"<ROOT language=\"\u0420\" short=\"ru\">"
                                                                         L"<STRING Id=\"1\">\u0422\u0435</STRING></ROOT>"))));
    EXPECT_EQ(L"\u0420", manager.GetLanguageName());
    EXPECT_STREQ(L"\u0422\u0435", manager.GetString(1));
}

TEST_F(LanguageManagerTest, AShorterLanguageKeepsTheOtherTextsOfTheFormer)
{
    CLenguageManager manager(Storage());
    ASSERT_TRUE(manager.LoadLanguageFile(Write(L"English.xml", DefaultLanguageBytes())));
    ASSERT_TRUE(manager.LoadLanguageFile(Write(L"Short.xml", LanguageXml(L"language=\"Short\" short=\"s\"",
                                                                        NumberedTexts(40, L"short ")))));
    EXPECT_STREQ(L"short 0", manager.GetString(0));
    EXPECT_STREQ(L"short 39", manager.GetString(39));
    EXPECT_STREQ(L"performing", manager.GetString(40));
    EXPECT_STREQ(L"In order to complete this installation you must restart your computer. "
                 L"Would you like to do this now?",
                 manager.GetString(50));
    EXPECT_EQ(L"s", manager.GetLanguageCode());

    // An id no file defines is an empty text, and stays one.
    const wchar_t* unknown = manager.GetString(51);
    EXPECT_STREQ(L"", unknown);
    EXPECT_EQ(unknown, manager.GetString(51));
}

TEST_F(LanguageManagerTest, ListsTheXmlFilesWithTheirHeaders)
{
    Write(L"English.xml", DefaultLanguageBytes());
    Write(L"German.XML", ReadFileBytes(ShippedLanguageFile(L"German")));
    Write(L"Broken.xml", "no language");
    Write(L"Readme.txt", "not listed");
    CreateDirectoryW((m_folder / L"Old.xml").c_str(), nullptr);
    SetCurrentLanguage(L"English");

    CLenguageManager manager(Storage());
    CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
    manager.LoadLanguages();
    ASSERT_EQ(3u, manager.GetLanguageCount());
    std::vector<LanguageEntry> entries = manager.GetLanguages();
    std::sort(entries.begin(), entries.end(),
              [](const LanguageEntry& a, const LanguageEntry& b) { return a.filePath < b.filePath; });

    EXPECT_EQ(L"Broken", entries[0].fileStem);
    EXPECT_EQ(L"", entries[0].displayName);
    EXPECT_EQ(L"", entries[0].shortCode);

    EXPECT_EQ(L"English", entries[1].fileStem);
    EXPECT_EQ(L"English", entries[1].displayName);
    EXPECT_EQ(L"en", entries[1].shortCode);
    EXPECT_EQ(m_folder / L"English.xml", entries[1].filePath);

    // Listed, since the pattern ignores case, but the stem is searched for
    // ".xml" exactly.
    EXPECT_EQ(L"", entries[2].fileStem);
    EXPECT_EQ(L"Deutsch", entries[2].displayName);
    EXPECT_EQ(L"de", entries[2].shortCode);

    EXPECT_EQ(m_folder / L"English.xml", manager.GetCurrentLanguagePath());
    EXPECT_STREQ(L"Begin Test", manager.GetString(0));
    EXPECT_TRUE(answerer.Texts().empty());
}

TEST_F(LanguageManagerTest, AFirstStartWarnsOnceAndWritesTheDefault)
{
    CLogRecorder log;
    {
        CLenguageManager manager(Storage());
        CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
        manager.LoadLanguages();
        EXPECT_EQ(std::vector<std::wstring>{kCannotLoad}, answerer.Texts());

        EXPECT_EQ(L"English", CurrentLanguage());
        EXPECT_EQ(DefaultLanguageBytes(), ReadFileBytes(m_folder / L"English.xml"));
        EXPECT_STREQ(L"Begin Test", manager.GetString(0));
        EXPECT_EQ(L"en", manager.GetLanguageCode());
        // The language written just now can be chosen in the menu.
        ASSERT_EQ(1u, manager.GetLanguageCount());
        EXPECT_EQ(L"English", manager.GetLanguages()[0].displayName);
    }
    EXPECT_EQ(1, log.Count(kCannotLoadLine));

    CLenguageManager nextStart(Storage());
    CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
    nextStart.LoadLanguages();
    EXPECT_STREQ(L"Begin Test", nextStart.GetString(0));
    Sleep(200);
    EXPECT_TRUE(answerer.Texts().empty());
}

TEST_F(LanguageManagerTest, SelectingALanguageMakesItCurrent)
{
    Write(L"English.xml", DefaultLanguageBytes());
    Write(L"German.xml", ReadFileBytes(ShippedLanguageFile(L"German")));
    Write(L"Deutsch.XML", ReadFileBytes(ShippedLanguageFile(L"German")));
    SetCurrentLanguage(L"English");
    CLenguageManager manager(Storage());
    CMessageBoxAnswerer answerer(L"Zentrix", IDOK);
    manager.LoadLanguages();
    ASSERT_EQ(3u, manager.GetLanguageCount());

    ASSERT_TRUE(manager.SelectLanguage(IndexOf(manager, L"German")));
    EXPECT_EQ(L"German", CurrentLanguage());
    EXPECT_STREQ(L"Test starten", manager.GetString(0));
    EXPECT_EQ(L"de", manager.GetLanguageCode());

    // A file without a lower-case ".xml" loads, but the registry cannot name
    // it, so it does not become the language of the next start.
    ASSERT_TRUE(manager.SelectLanguage(IndexOf(manager, L"")));
    EXPECT_EQ(L"German", CurrentLanguage());

    EXPECT_FALSE(manager.SelectLanguage(manager.GetLanguageCount()));
    EXPECT_TRUE(answerer.Texts().empty());

    // A file spoilt since the list was built falls back to English.
    Write(L"German.xml", "spoilt");
    EXPECT_FALSE(manager.SelectLanguage(IndexOf(manager, L"German")));
    EXPECT_EQ(std::vector<std::wstring>{kCannotLoad}, answerer.Texts());
    EXPECT_EQ(L"English", CurrentLanguage());
    EXPECT_STREQ(L"Begin Test", manager.GetString(0));
    EXPECT_EQ(L"en", manager.GetLanguageCode());
}

TEST_F(LanguageManagerTest, TheShippedLanguagesDefineEveryTextWithItsPlaceholders)
{
    CLenguageManager english(Storage());
    ASSERT_TRUE(english.LoadLanguageFile(Write(L"English.xml", DefaultLanguageBytes())));
    EXPECT_EQ(L"English", english.GetLanguageName());
    EXPECT_STREQ(L"Please wait while Zentrix is scanning your system", english.GetString(2));
    EXPECT_STREQ(L"An error ocured during downloading update.", english.GetString(36));
    EXPECT_STREQ(L"at %d%% of", english.GetString(41));
    EXPECT_STREQ(L"Your PC is performing at %.d%% of its potential", english.GetString(45));

    for (const wchar_t* stem : {L"German", L"French"})
    {
        CLenguageManager shipped(Storage());
        ASSERT_TRUE(shipped.LoadLanguageFile(ShippedLanguageFile(stem))) << stem;
        for (int id = 0; id <= 50; ++id)
        {
            EXPECT_STRNE(L"", shipped.GetString(id)) << stem << " " << id;
            EXPECT_EQ(CountPlaceholders(english.GetString(id)), CountPlaceholders(shipped.GetString(id)))
                << stem << " " << id;
        }
    }
}

namespace
{
struct LookupRun
{
    CLenguageManager* manager;
    // Set once the worker has looked up every text.
    HANDLE started;
    std::atomic<bool> stop{false};
    std::atomic<int> wrongTexts{0};
    std::atomic<int> lookups{0};
};

unsigned __stdcall LookUpTexts(void* param)
{
    LookupRun& run = *static_cast<LookupRun*>(param);
    while (!run.stop)
    {
        for (int id = 0; id <= 50; ++id)
        {
            const std::wstring text = run.manager->GetString(id);
            if (text != L"one " + std::to_wstring(id) && text != L"two " + std::to_wstring(id))
                ++run.wrongTexts;
            ++run.lookups;
        }
        SetEvent(run.started);
    }
    return 0;
}
}

TEST_F(LanguageManagerTest, LookupsFromAWorkerSeeWholeTextsWhileTheLanguageChanges)
{
    const std::wstring one = Write(L"One.xml", LanguageXml(L"language=\"One\" short=\"1\"", NumberedTexts(51, L"one ")));
    const std::wstring two = Write(L"Two.xml", LanguageXml(L"language=\"Two\" short=\"2\"", NumberedTexts(51, L"two ")));
    CLenguageManager manager(Storage());
    ASSERT_TRUE(manager.LoadLanguageFile(one));
    const wchar_t* heldText = manager.GetString(7);

    CScopedHandle started(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    LookupRun run;
    run.manager = &manager;
    run.started = started.Get();
    CScopedHandle worker(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &LookUpTexts, &run, 0, nullptr)));
    ASSERT_TRUE(static_cast<bool>(worker));
    const bool workerStarted = WaitForSingleObject(started.Get(), 5000) == WAIT_OBJECT_0;
    // The switches go on until the worker has looked up texts while they
    // ran (and at least 20 times), and end on the other language.
    const int lookupsBefore = run.lookups;
    int switches = 0;
    int loads = 0;
    do
    {
        loads += manager.LoadLanguageFile(one) ? 1 : 0;
        loads += manager.LoadLanguageFile(two) ? 1 : 0;
        ++switches;
    } while (workerStarted && (switches < 20 || run.lookups == lookupsBefore) && switches < 10000);
    const int lookupsDuring = run.lookups - lookupsBefore;
    run.stop = true;
    WaitForSingleObject(worker.Get(), INFINITE);

    ASSERT_TRUE(workerStarted);
    EXPECT_EQ(2 * switches, loads);
    EXPECT_GT(lookupsDuring, 0) << "the lookups must overlap the loads";
    EXPECT_EQ(0, run.wrongTexts);
    EXPECT_STREQ(L"two 7", manager.GetString(7));
    // A text handed out before the switches is still intact.
    EXPECT_STREQ(L"one 7", heldText);
}
