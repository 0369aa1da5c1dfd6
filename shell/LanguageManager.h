#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "base/CriticalSection.h"
#include "base/UiText.h"
#include "shell/StringTable.h"

// One installed language file.
struct LanguageEntry
{
    // File name up to the first ".xml" (case-sensitive); empty when the name
    // has no lower-case ".xml". The registry names the current language by it.
    std::wstring fileStem;
    std::wstring displayName;
    std::wstring filePath;
    std::wstring shortCode;
};

// Where the languages live: the registry value "Language" under a key, the
// folder of the language files and the module that carries the default
// English document.
struct LanguageStorage
{
    HKEY registryRoot;
    std::wstring registryKey;
    // Ends with a backslash.
    std::wstring folder;
    // Null means the program file.
    HMODULE resources;
};

// HKLM "Software\Tessarin", "<program folder>\Languages\", the program file.
LanguageStorage ProgramLanguageStorage();

// The UI texts of the current language. Language files are XML:
//   <ROOT language="English" short="en"><STRING Id="0">Begin Test</STRING>...
// where attributes count by position, not by name. Loading merges: ids the
// new file lacks keep the texts of the language loaded before.
//
// Loading and switching run on the UI thread and need COM there; GetString
// and GetLanguageCode may be called from any thread at any time.
class CLenguageManager
{
public:
    CLenguageManager();
    explicit CLenguageManager(LanguageStorage storage);

    CLenguageManager(const CLenguageManager&) = delete;
    CLenguageManager& operator=(const CLenguageManager&) = delete;

    void SetResourceModule(HMODULE resources) { m_storage.resources = resources; }

    // Lists the installed languages and loads the current one; when that
    // fails, warns the user and falls back to the default English.
    void LoadLanguages();
    // Loads the listed language and makes it the current one.
    bool SelectLanguage(size_t index);
    // Writes English.xml from the program's resources, makes it the current
    // language and loads it.
    void LoadDefaultLanguage();

    bool LoadLanguageFile(const std::wstring& path);
    static bool ReadLanguageHeader(const std::wstring& path, std::wstring& name, std::wstring& code);
    // The file named by the registry, or empty when the registry has none.
    std::wstring GetCurrentLanguagePath() const;

    std::vector<LanguageEntry> GetLanguages() const { return m_languages; }
    size_t GetLanguageCount() const { return m_languages.size(); }
    std::wstring GetLanguageCode() const;
    std::wstring GetLanguageName() const;

    // Valid for the manager's lifetime; empty for an id no file defined.
    const wchar_t* GetString(int id) { return m_strings.Get(id); }
    // The text of the id in the default English document the program
    // carries, whatever language is loaded; read from the resources at the
    // first call (UI thread, COM initialised).
    const wchar_t* GetDefaultString(int id);

private:
    void ListLanguageFiles();
    // Logs and shows "Cannot load language file.", then loads the default.
    void FallBackToDefault();
    bool WriteDefaultLanguageFile(const std::wstring& path) const;
    // The default English document's bytes (UTF-8); empty when missing.
    std::string DefaultLanguageBytes() const;
    bool SetCurrentLanguage(const std::wstring& fileStem) const;

    CStringTable m_strings;
    CStringTable m_defaults;
    bool m_defaultsRead = false;
    mutable CCriticalSection m_headerLock;   // guards the name and the code
    std::wstring m_languageName;
    std::wstring m_languageCode;
    std::vector<LanguageEntry> m_languages;
    LanguageStorage m_storage;
};

// Makes a language manager the process's source of UI texts while it lives.
class CLanguageTextSource : public IUiTextSource
{
public:
    explicit CLanguageTextSource(CLenguageManager& languages);
    ~CLanguageTextSource() override;

    CLanguageTextSource(const CLanguageTextSource&) = delete;
    CLanguageTextSource& operator=(const CLanguageTextSource&) = delete;

    const wchar_t* GetString(int id) override { return m_languages.GetString(id); }
    std::wstring GetLanguageCode() const override { return m_languages.GetLanguageCode(); }

private:
    CLenguageManager& m_languages;
    IUiTextSource* m_previous;
};
