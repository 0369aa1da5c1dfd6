#include "testbed/fuzz/RegistryPlan.h"

#include <shlwapi.h>

#include <cstring>
#include <cwctype>

#include "regscan/ScanTypes.h"
#include "base/StringFormat.h"

using namespace RegistryKelvadorLib;

namespace
{
const wchar_t kLongVariable[] = L"TESSARINFUZZLONG";
const wchar_t kClassIdPrefix[] = L"{7E55F022-";
const wchar_t kUserDataKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";

// Where the scans look, and what a real entry there looks like.
enum class Shape { ClassId, Uninstall, FontValue, SharedDllValue, AppPath, HelpValue, RunValue, Tree, Extension };

struct Place
{
    int scanType;
    HKEY root;
    const wchar_t* base;
    Shape shape;
};

const Place kPlaces[] = {
    {ScanTypeCom, HKEY_CLASSES_ROOT, L"CLSID", Shape::ClassId},
    {ScanTypeUninstall, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", Shape::Uninstall},
    {ScanTypeFonts, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", Shape::FontValue},
    {ScanTypeSharedDll, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
     Shape::SharedDllValue},
    {ScanTypeAppPath, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", Shape::AppPath},
    {ScanTypeHelpFiles, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\Help", Shape::HelpValue},
    {ScanTypeWinStartup, HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", Shape::RunValue},
    {ScanTypeWinStartup, HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", Shape::RunValue},
    {ScanTypeFileRefs, HKEY_CURRENT_USER, L"Software", Shape::Tree},
    {ScanTypeFileRefs, HKEY_LOCAL_MACHINE, L"SOFTWARE", Shape::Tree},
    {ScanTypeEmptyKeys, HKEY_CURRENT_USER, L"Software", Shape::Tree},
    {ScanTypeFileAssoc, HKEY_CLASSES_ROOT, L"", Shape::Extension},
};

const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
const REGSAM kViews[] = {0, KEY_WOW64_64KEY, KEY_WOW64_32KEY};

std::string TextData(const std::wstring& text, bool terminated = true)
{
    std::string bytes = WideBytes(text);
    if (terminated)
        bytes.append(sizeof(wchar_t), '\0');
    return bytes;
}

std::wstring Repeat(const std::wstring& piece, size_t length)
{
    std::wstring text;
    while (text.size() < length)
        text += piece;
    return text.substr(0, length);
}

// The text a real entry of that place holds.
std::wstring RealText(CFuzzRandom& random, Shape shape, const std::wstring& own)
{
    switch (shape)
    {
    case Shape::ClassId: return L"C:\\windows\\system32\\TessarinFuzz.dll";
    case Shape::Uninstall: return L"MsiExec.exe /X{5FCE6D76-F5DC-37AB-B2B8-22AB8CEDB1D4}";
    case Shape::FontValue: return L"tessarinfuzz.ttf";
    case Shape::SharedDllValue: return L"";
    case Shape::AppPath: return L"\"C:\\Program Files\\TessarinFuzz\\fuzz.exe\" /x";
    case Shape::HelpValue: return L"C:\\windows\\help";
    case Shape::RunValue: return L"\"C:\\Program Files\\TessarinFuzz\\run.exe\" -a -b \"%1\"";
    case Shape::Tree: return random.Chance(50) ? L"C:\\TessarinFuzz\\missing.dat" : L"%SystemRoot%\\fuzz.ini";
    case Shape::Extension: return own;
    }
    return std::wstring();
}

// The hostile texts every place gets a share of.
std::wstring NastyText(CFuzzRandom& random, const std::wstring& real)
{
    switch (random.Below(7))
    {
    case 0: return Repeat(real.empty() ? L"x" : real, 32767 + random.Below(3000));
    case 1: return L"\"C:\\" + Repeat(L"a ", 60000) + L"\"";
    case 2: return L"MsiExec.exe /X{" + Repeat(L"0123456789ABCDEF", 12000) + (random.Chance(50) ? L"}" : L"");
    case 3: return FormatText(L"%%%ls%%%%%ls%%\\fuzz.dll %%1", kLongVariable, kLongVariable);
    case 4: return Repeat(L"\\", 5000) + L"C:" + Repeat(L"\\..", 3000);
    case 5: return L"\"" + Repeat(L"\"", 999) + L"%1 %2 %*";
    default: return L"C:\\" + Repeat(L"TessarinFuzz\\", 30000);
    }
}

// The bytes of a value: the real text mutated, a nasty text, the text
// without its terminator, or binary data of a text type.
void ValueData(CFuzzRandom& random, Shape shape, const std::wstring& own, RegistryPlanting& planting)
{
    const std::wstring real = RealText(random, shape, own);
    planting.type = random.Chance(25) ? REG_EXPAND_SZ : REG_SZ;
    switch (random.Below(5))
    {
    case 0: planting.data = TextData(real); break;
    case 1: planting.data = CMutator(random).Mutate(TextData(real), 2048); break;
    case 2: planting.data = TextData(NastyText(random, real)); break;
    case 3: planting.data = TextData(NastyText(random, real), false); break;
    default:
        planting.type = random.Pick(std::vector<DWORD>{REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_BINARY});
        planting.data = random.Bytes(random.Below(64));
        break;
    }
}

// A planted name: short, at the 255-character limit of key names, or (for
// values) at the 16,383-character limit of value names.
std::wstring FuzzName(CFuzzRandom& random, size_t index, bool value)
{
    const std::wstring name = FormatText(L"TessarinFuzz%zu", index);
    switch (random.Below(6))
    {
    case 0: return name + Repeat(L"N", 255 - name.size());
    case 1: return value ? name + Repeat(L"V", 16383 - name.size()) : name;
    case 2: return name + L" %s%n \"quoted\"";
    default: return name;
    }
}

RegistryPlanting Plant(CFuzzRandom& random, const Place& place, size_t index)
{
    RegistryPlanting planting;
    planting.root = place.root;
    planting.view = random.Pick(std::vector<REGSAM>{0, KEY_WOW64_64KEY, KEY_WOW64_32KEY});
    planting.base = place.base;
    planting.hasValue = true;
    const std::wstring name = FuzzName(random, index, false);
    switch (place.shape)
    {
    case Shape::ClassId:
        planting.sub = FormatText(L"%ls%04zu-0000-4000-8000-000000000000}\\%ls", kClassIdPrefix, index,
                                  random.Pick(std::vector<const wchar_t*>{L"InprocServer32", L"LocalServer32",
                                                                          L"ProgID", L"AppID", L"TypeLib"}));
        break;
    case Shape::Uninstall:
        planting.sub = name;
        planting.valueName = random.Chance(70) ? L"UninstallString" : L"DisplayIcon";
        break;
    case Shape::AppPath:
        planting.sub = name + L".exe";
        break;
    case Shape::Tree:
    {
        // Keys up to 300 deep.
        const size_t depth = random.Pick(std::vector<size_t>{1, 3, 40, 300});
        planting.sub = name;
        for (size_t level = 1; level < depth; ++level)
            planting.sub += L"\\d";
        planting.hasValue = random.Chance(70);
        planting.valueName = FuzzName(random, index, true);
        break;
    }
    case Shape::Extension:
    {
        // An extension whose class is itself, or a class with a hostile
        // open command.
        const std::wstring extension = FormatText(L".tessarinfuzz%zu", index);
        planting.sub = random.Chance(50) ? extension : name + L"\\shell\\open\\command";
        ValueData(random, place.shape, extension, planting);
        return planting;
    }
    default: // values in the scanned key itself
        planting.valueName = FuzzName(random, index, true);
        if (place.shape == Shape::SharedDllValue)
            planting.valueName = L"C:\\TessarinFuzz\\" + planting.valueName + L".dll";
        break;
    }
    ValueData(random, place.shape, planting.sub, planting);
    return planting;
}

void AppendText(std::string& bytes, const std::wstring& text)
{
    const uint32_t length = static_cast<uint32_t>(text.size());
    bytes.append(reinterpret_cast<const char*>(&length), sizeof(length));
    bytes += WideBytes(text);
}

class CPlanReader
{
public:
    explicit CPlanReader(const std::string& bytes) : m_bytes(bytes) {}
    bool AtEnd() const { return m_at >= m_bytes.size(); }
    uint32_t Number()
    {
        uint32_t value = 0;
        if (m_at + sizeof(value) <= m_bytes.size())
            std::memcpy(&value, &m_bytes[m_at], sizeof(value));
        m_at += sizeof(value);
        return value;
    }
    std::string Bytes(size_t count)
    {
        const std::string taken = m_at < m_bytes.size() ? m_bytes.substr(m_at, count) : std::string();
        m_at += count;
        return taken;
    }
    std::wstring Text() { return TextOfWideBytes(Bytes(Number() * sizeof(wchar_t))); }

private:
    const std::string& m_bytes;
    size_t m_at = 0;
};

std::wstring FirstComponent(const std::wstring& path)
{
    return path.substr(0, path.find(L'\\'));
}

bool IsFuzzName(const std::wstring& name)
{
    std::wstring lower;
    for (wchar_t c : name.substr(0, 64))
        lower += static_cast<wchar_t>(std::towlower(c));
    return lower.find(L"tessarinfuzz") != std::wstring::npos || name.compare(0, 10, kClassIdPrefix) == 0;
}

// Collects the fuzz names among the subkeys (or values) of an open key.
std::vector<std::wstring> FuzzNamesIn(HKEY key, bool values)
{
    std::vector<std::wstring> names;
    std::vector<wchar_t> name(16384);
    for (DWORD index = 0;; ++index)
    {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG result = values ? RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr)
                                   : RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS || index > 1000000)
            break;
        if (result == ERROR_SUCCESS && IsFuzzName(std::wstring(name.data(), length)))
            names.emplace_back(name.data(), length);
    }
    return names;
}
}

namespace
{
// An uninstall entry is judged only with a display name, and its installer
// product is looked up only where the installer keeps user data.
void CompleteUninstallEntry(const RegistryPlanting& entry, RegistryPlan& plan)
{
    RegistryPlanting name = entry;
    name.valueName = L"DisplayName";
    name.type = REG_SZ;
    name.data = TextData(L"TessarinFuzz product");
    plan.push_back(name);
    RegistryPlanting userData;
    userData.base = kUserDataKey;
    userData.view = entry.view;
    userData.sub = L"TessarinFuzzS-1-5-18\\Products";
    userData.ownsBase = true;
    plan.push_back(userData);
}

// Removes the base's last component when it is empty (the plan created it).
void DeleteOwnedBase(const RegistryPlanting& planting)
{
    const size_t slash = planting.base.rfind(L'\\');
    HKEY parent = nullptr;
    if (slash == std::wstring::npos ||
        RegOpenKeyExW(planting.root, planting.base.substr(0, slash).c_str(), 0, KEY_ALL_ACCESS | planting.view,
                      &parent) != ERROR_SUCCESS)
        return;
    RegDeleteKeyW(parent, planting.base.substr(slash + 1).c_str()); // fails while anything is below it
    RegCloseKey(parent);
}
}

RegistryPlan GenerateRegistryPlan(CFuzzRandom& random, int scanType)
{
    std::vector<const Place*> places;
    for (const Place& place : kPlaces)
        if (scanType < 0 || place.scanType == scanType)
            places.push_back(&place);
    RegistryPlan plan;
    for (size_t index = 0, count = 1 + random.Below(6); index < count && !places.empty(); ++index)
    {
        const Place& place = *random.Pick(places);
        plan.push_back(Plant(random, place, index));
        if (place.shape == Shape::Uninstall)
            CompleteUninstallEntry(plan.back(), plan);
    }
    return plan;
}

std::string SerializePlan(const RegistryPlan& plan)
{
    std::string bytes;
    for (const RegistryPlanting& planting : plan)
    {
        size_t root = 0, view = 0;
        while (root < 2 && kRoots[root] != planting.root)
            ++root;
        while (view < 2 && kViews[view] != planting.view)
            ++view;
        bytes += static_cast<char>(root);
        bytes += static_cast<char>(view);
        bytes += static_cast<char>(planting.hasValue | (planting.ownsBase << 1));
        AppendText(bytes, planting.base);
        AppendText(bytes, planting.sub);
        AppendText(bytes, planting.valueName);
        const uint32_t numbers[] = {planting.type, static_cast<uint32_t>(planting.data.size())};
        bytes.append(reinterpret_cast<const char*>(numbers), sizeof(numbers));
        bytes += planting.data;
    }
    return bytes;
}

RegistryPlan DeserializePlan(const std::string& bytes)
{
    RegistryPlan plan;
    CPlanReader reader(bytes);
    while (!reader.AtEnd())
    {
        RegistryPlanting planting;
        const std::string flags = reader.Bytes(3);
        if (flags.size() < 3)
            break;
        planting.root = kRoots[static_cast<unsigned char>(flags[0]) % 3];
        planting.view = kViews[static_cast<unsigned char>(flags[1]) % 3];
        planting.hasValue = (flags[2] & 1) != 0;
        planting.ownsBase = (flags[2] & 2) != 0;
        planting.base = reader.Text();
        planting.sub = reader.Text();
        planting.valueName = reader.Text();
        planting.type = reader.Number();
        planting.data = reader.Bytes(reader.Number());
        plan.push_back(planting);
    }
    return plan;
}

size_t PlantPlan(RegistryPlan& plan)
{
    size_t planted = 0;
    for (RegistryPlanting& planting : plan)
    {
        HKEY existing = nullptr;
        if (planting.ownsBase &&
            RegOpenKeyExW(planting.root, planting.base.c_str(), 0, KEY_READ | planting.view, &existing) == ERROR_SUCCESS)
        {
            planting.ownsBase = false;
            RegCloseKey(existing);
        }
        std::wstring path = planting.base;
        if (!planting.sub.empty())
            path += (path.empty() ? L"" : L"\\") + planting.sub;
        HKEY key = nullptr;
        if (RegCreateKeyExW(planting.root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | planting.view, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            continue;
        if (!planting.hasValue ||
            RegSetValueExW(key, planting.valueName.c_str(), 0, planting.type,
                           reinterpret_cast<const BYTE*>(planting.data.data()),
                           static_cast<DWORD>(planting.data.size())) == ERROR_SUCCESS)
            ++planted;
        RegCloseKey(key);
    }
    return planted;
}

void RemovePlan(const RegistryPlan& plan)
{
    for (const RegistryPlanting& planting : plan)
    {
        HKEY base = nullptr;
        if (RegOpenKeyExW(planting.root, planting.base.c_str(), 0, KEY_ALL_ACCESS | planting.view, &base) !=
            ERROR_SUCCESS)
            continue;
        if (planting.sub.empty())
            RegDeleteValueW(base, planting.valueName.c_str());
        else
            SHDeleteKeyW(base, FirstComponent(planting.sub).c_str());
        RegCloseKey(base);
        if (planting.ownsBase)
            DeleteOwnedBase(planting);
    }
}

void RemoveFuzzLeftovers()
{
    std::vector<std::pair<HKEY, const wchar_t*>> bases;
    for (const Place& place : kPlaces)
        bases.emplace_back(place.root, place.base);
    bases.emplace_back(HKEY_LOCAL_MACHINE, kUserDataKey);
    for (const auto& where : bases)
    {
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
        {
            HKEY base = nullptr;
            if (RegOpenKeyExW(where.first, where.second, 0, KEY_ALL_ACCESS | view, &base) != ERROR_SUCCESS)
                continue;
            for (const std::wstring& name : FuzzNamesIn(base, false))
                SHDeleteKeyW(base, name.c_str());
            for (const std::wstring& name : FuzzNamesIn(base, true))
                RegDeleteValueW(base, name.c_str());
            RegCloseKey(base);
        }
    }
}

void SetLongEnvironmentVariable()
{
    SetEnvironmentVariableW(kLongVariable, Repeat(L"%TEMP%\\x", 16000).c_str());
}
