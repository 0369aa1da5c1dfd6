#include "shell/LanguageManager.h"

#include "engine/XmlDocument.h"
#include "base/ScopedHandle.h"
#include "resources/ResourceIds.h"
#include "base/Folders.h"
#include "shell/Module.h"
#include "base/RegistryKey.h"

namespace
{
const wchar_t kLanguageValue[] = L"Language";
const wchar_t kDefaultLanguage[] = L"English";
const wchar_t kFileExtension[] = L".xml";
const wchar_t kCannotLoadLanguage[] = L"Cannot load language file.";
// Registry values hold at most this many characters, terminator included.
const DWORD kMaxLanguageValueChars = 260;

// The first top-level node named "ROOT" (exact case).
bool FindRoot(const CXmlDocument& document, CXmlNode& root)
{
    CXmlNode node;
    if (!document.GetDocumentNode(node) || !node.GetFirstChild(node))
        return false;
    do
    {
        std::wstring name;
        if (node.GetName(name) && name == L"ROOT")
        {
            root = node;
            return true;
        }
    } while (node.MoveToNextSibling());
    return false;
}

bool ReadAttributeText(const CXmlNode& element, int index, std::wstring& text)
{
    CXmlNode attribute;
    return element.GetAttribute(index, attribute) && attribute.GetText(text);
}

// Display name and short code: the root's first and second attributes,
// whatever they are called.
bool ReadHeader(const CXmlNode& root, std::wstring& name, std::wstring& code)
{
    return ReadAttributeText(root, 0, name) && ReadAttributeText(root, 1, code);
}

// Merges the document's texts into the table. A broken entry ends the
// read; the texts merged so far stay.
bool ReadTexts(const CXmlDocument& document, CStringTable& table, std::wstring& name, std::wstring& code)
{
    CXmlNode root;
    if (!FindRoot(document, root) || !ReadHeader(root, name, code))
        return false;
    CXmlNode child;
    if (!root.GetFirstChild(child))
        return true;
    do
    {
        std::wstring childName;
        int attributeCount = 0;
        if (!child.GetName(childName) || childName != L"STRING" || !child.GetAttributeCount(attributeCount)
            || attributeCount == 0)
            continue;
        int id = 0;
        std::wstring text;
        if (!child.GetAttributeInt(0, id) || !child.GetText(text))
            return false;
        table.Set(id, text);
    } while (child.MoveToNextSibling());
    return true;
}

// UTF-8 bytes as UTF-16 text without the XML declaration, which would name
// an encoding the text no longer has.
std::wstring DocumentText(const std::string& bytes)
{
    std::wstring text;
    const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0)
        return text;
    text.resize(size);
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], size);
    if (text.compare(0, 5, L"<?xml") == 0)
    {
        const size_t end = text.find(L"?>");
        text.erase(0, end == std::wstring::npos ? text.size() : end + 2);
    }
    return text;
}

std::wstring FileStem(const std::wstring& fileName)
{
    size_t extension = fileName.find(kFileExtension);
    return extension == std::wstring::npos ? std::wstring() : fileName.substr(0, extension);
}
}

LanguageStorage ProgramLanguageStorage()
{
    return LanguageStorage{HKEY_LOCAL_MACHINE, L"Software\\Tessarin", GetProgramFolder() + L"\\Languages\\", nullptr};
}

CLenguageManager::CLenguageManager() : CLenguageManager(ProgramLanguageStorage())
{
}

CLenguageManager::CLenguageManager(LanguageStorage storage) : m_storage(std::move(storage))
{
}

void CLenguageManager::LoadLanguages()
{
    ListLanguageFiles();
    m_strings.Clear();
    if (!LoadLanguageFile(GetCurrentLanguagePath()))
        FallBackToDefault();
}

bool CLenguageManager::SelectLanguage(size_t index)
{
    if (index >= m_languages.size())
        return false;
    // A copy: falling back to the default may add to the list.
    const LanguageEntry entry = m_languages[index];
    if (!LoadLanguageFile(entry.filePath))
    {
        FallBackToDefault();
        return false;
    }
    // An empty stem names no file (the name has no lower-case ".xml"): kept
    // out of the registry, where it would make the next start fail to load.
    if (!entry.fileStem.empty())
        SetCurrentLanguage(entry.fileStem);
    return true;
}

void CLenguageManager::LoadDefaultLanguage()
{
    if (!SetCurrentLanguage(kDefaultLanguage))
        return;
    const std::wstring path = GetCurrentLanguagePath();
    if (path.empty() || !WriteDefaultLanguageFile(path) || !LoadLanguageFile(path))
    {
        g_module.LogError(L"Cannot load defoult xml.", GetLastError());
        return;
    }
    // On a first start English.xml did not exist when the list was built;
    // without it the language menu could not switch back to English.
    for (const LanguageEntry& entry : m_languages)
    {
        if (lstrcmpiW(entry.filePath.c_str(), path.c_str()) == 0)
            return;
    }
    m_languages.push_back(LanguageEntry{kDefaultLanguage, GetLanguageName(), path, GetLanguageCode()});
}

bool CLenguageManager::LoadLanguageFile(const std::wstring& path)
{
    try
    {
        CXmlDocument document;
        std::wstring name;
        std::wstring code;
        if (!document.Load(path) || !ReadTexts(document, m_strings, name, code))
            return false;

        CCriticalSectionLock lock(m_headerLock);
        m_languageName = name;
        m_languageCode = code;
        return true;
    }
    catch (const CComError&)
    {
        return false;
    }
}

bool CLenguageManager::ReadLanguageHeader(const std::wstring& path, std::wstring& name, std::wstring& code)
{
    try
    {
        CXmlDocument document;
        CXmlNode root;
        return document.Load(path) && FindRoot(document, root) && ReadHeader(root, name, code);
    }
    catch (const CComError&)
    {
        return false;
    }
}

std::wstring CLenguageManager::GetCurrentLanguagePath() const
{
    CreateFolderPath(m_storage.folder);
    CRegistryKey key;
    std::wstring language;
    if (key.Create(m_storage.registryRoot, m_storage.registryKey, KEY_READ | KEY_WRITE) != ERROR_SUCCESS
        || !key.ReadString(kLanguageValue, language, kMaxLanguageValueChars))
        return std::wstring();
    return m_storage.folder + language + kFileExtension;
}

std::wstring CLenguageManager::GetLanguageCode() const
{
    CCriticalSectionLock lock(m_headerLock);
    return m_languageCode;
}

std::wstring CLenguageManager::GetLanguageName() const
{
    CCriticalSectionLock lock(m_headerLock);
    return m_languageName;
}

void CLenguageManager::ListLanguageFiles()
{
    m_languages.clear();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((m_storage.folder + L"*" + kFileExtension).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
    {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        LanguageEntry entry;
        entry.fileStem = FileStem(found.cFileName);
        entry.filePath = m_storage.folder + found.cFileName;
        // An unreadable file is listed with an empty name and code.
        if (!ReadLanguageHeader(entry.filePath, entry.displayName, entry.shortCode))
        {
            entry.displayName.clear();
            entry.shortCode.clear();
        }
        m_languages.push_back(entry);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void CLenguageManager::FallBackToDefault()
{
    g_module.LogError(kCannotLoadLanguage, GetLastError());
    MessageBoxW(nullptr, kCannotLoadLanguage, L"Zentrix", MB_ICONWARNING | MB_OK);
    LoadDefaultLanguage();
}

std::string CLenguageManager::DefaultLanguageBytes() const
{
    HMODULE module = m_storage.resources ? m_storage.resources : GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDR_DEFAULT_LANGUAGE), L"XML");
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(module, resource)) : std::string();
}

bool CLenguageManager::WriteDefaultLanguageFile(const std::wstring& path) const
{
    const std::string bytes = DefaultLanguageBytes();
    if (bytes.empty())
        return false;
    CScopedHandle file = AdoptFileHandle(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

const wchar_t* CLenguageManager::GetDefaultString(int id)
{
    if (!m_defaultsRead)
    {
        m_defaultsRead = true;
        try
        {
            CXmlDocument document;
            std::wstring name;
            std::wstring code;
            if (!document.LoadXml(DocumentText(DefaultLanguageBytes())) || !ReadTexts(document, m_defaults, name, code))
                g_module.LogError(L"Cannot load defoult xml.", GetLastError());
        }
        catch (const CComError&)
        {
            g_module.LogError(L"Cannot load defoult xml.", GetLastError());
        }
    }
    return m_defaults.Get(id);
}

bool CLenguageManager::SetCurrentLanguage(const std::wstring& fileStem) const
{
    CRegistryKey key;
    return key.Create(m_storage.registryRoot, m_storage.registryKey, KEY_READ | KEY_WRITE) == ERROR_SUCCESS
        && key.WriteString(kLanguageValue, fileStem);
}

CLanguageTextSource::CLanguageTextSource(CLenguageManager& languages)
    : m_languages(languages), m_previous(SetUiTextSource(this))
{
}

CLanguageTextSource::~CLanguageTextSource()
{
    SetUiTextSource(m_previous);
}
