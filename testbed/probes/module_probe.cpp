// Starts the application singleton the way the main program does and writes
// what it then knows to a file, one "name=value" line each (UTF-16LE):
//   module_probe init <output file>
//   module_probe select <file stem> <output file>
//   module_probe log <text>            (writes the text to the program log;
//                                       the tester saves its total at exit)
// The shell tests run copies of it in scratch folders.
#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "base/ScopedHandle.h"
#include "shell/Module.h"

namespace
{
void Add(std::wstring& report, const wchar_t* name, const std::wstring& value)
{
    report += std::wstring(name) + L"=" + value + L"\r\n";
}

std::wstring Describe()
{
    CLenguageManager& languages = g_module.GetLanguageManager();
    std::wstring report;
    Add(report, L"first", g_module.IsFirstInstance() ? L"1" : L"0");
    Add(report, L"uid", g_module.GetUID());
    Add(report, L"code", languages.GetLanguageCode());
    Add(report, L"name", languages.GetLanguageName());
    Add(report, L"languages", std::to_wstring(languages.GetLanguageCount()));
    for (int id = 0; id <= 50; ++id)
        Add(report, (L"text" + std::to_wstring(id)).c_str(), g_module.GetString(id));
    return report;
}

bool WriteReport(const wchar_t* path, const std::wstring& report)
{
    CScopedHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
    {
        file.Reset();
        return false;
    }
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(report.size() * sizeof(wchar_t));
    return WriteFile(file.Get(), report.data(), size, &written, nullptr) && written == size;
}

bool Init()
{
    return SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))
        && g_module.Init(GetModuleHandleW(nullptr)) == S_OK;
}
}

int wmain(int argc, wchar_t** argv)
{
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"log" && argc == 3)
    {
        g_module.Log(argv[2]);
        // A total computed in this process is saved when the tester goes.
        g_module.GetTester().CalcTotalScore();
        return 0;
    }
    if (command == L"init" && argc == 3)
        return Init() && WriteReport(argv[2], Describe()) ? 0 : 1;
    if (command == L"select" && argc == 4)
    {
        if (!Init())
            return 1;
        CLenguageManager& languages = g_module.GetLanguageManager();
        bool selected = false;
        const std::vector<LanguageEntry> entries = languages.GetLanguages();
        for (size_t i = 0; i < entries.size() && !selected; ++i)
        {
            if (entries[i].fileStem == argv[2])
                selected = languages.SelectLanguage(i);
        }
        return WriteReport(argv[3], L"selected=" + std::wstring(selected ? L"1" : L"0") + L"\r\n" + Describe()) ? 0 : 1;
    }
    return 2;
}
