#include "testbed/BrokenEntries.h"

#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "shell/RegistryKey.h"
#include "shell/StringFormat.h"

namespace
{
const wchar_t kBenchKey[] = L"SOFTWARE\\TessarinRegscanBench";
const wchar_t kBenchClassPrefix[] = L"TessarinBenchClass";
const wchar_t kHelpKey[] = L"SOFTWARE\\Microsoft\\Windows\\Help\\TessarinBench";

void SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text)
{
    CRegistryKey key;
    if (key.Create(root, path, KEY_SET_VALUE))
        key.WriteString(name, text);
}

std::wstring ClassIdKey(int index)
{
    return FormatText(L"CLSID\\{7E55BE00-0000-4000-8000-%012d}", index);
}

std::wstring AppPathKey(const std::wstring& number)
{
    return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tessarin_bench" + number + L".exe";
}
}

void PlantBrokenEntries(int count)
{
    const std::wstring missing = L"C:\\tessarin_bench_missing\\";
    for (int index = 0; index < count / 5; ++index)
    {
        const std::wstring number = std::to_wstring(index);
        SetString(HKEY_LOCAL_MACHINE, std::wstring(kBenchKey) + L"\\Refs", L"ref" + number,
                  missing + L"file" + number + L".dat");
        SetString(HKEY_CLASSES_ROOT, ClassIdKey(index) + L"\\InprocServer32", L"",
                  missing + L"server" + number + L".dll");
        SetString(HKEY_CLASSES_ROOT, kBenchClassPrefix + number, L"", L"Tessarin bench class");
        SetString(HKEY_CLASSES_ROOT, kBenchClassPrefix + number + L"\\shell\\open\\command", L"",
                  missing + L"open" + number + L".exe %1");
        SetString(HKEY_LOCAL_MACHINE, AppPathKey(number), L"", missing + L"app" + number + L".exe");
        SetString(HKEY_LOCAL_MACHINE, kHelpKey, L"help" + number + L".hlp", missing);
    }
}

void RemoveBrokenEntries(int count)
{
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, kBenchKey);
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, kHelpKey);
    for (int index = 0; index < count / 5; ++index)
    {
        const std::wstring number = std::to_wstring(index);
        SHDeleteKeyW(HKEY_CLASSES_ROOT, ClassIdKey(index).c_str());
        SHDeleteKeyW(HKEY_CLASSES_ROOT, (kBenchClassPrefix + number).c_str());
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, AppPathKey(number).c_str());
    }
}
