#include "regscan/CleanerLog.h"

#include <windows.h>
#include <shlobj.h>

#include <cwchar>
#include <new>

#include "base/ScopedHandle.h"
#include "base/StringFormat.h"

std::wstring CleanerLogFolder()
{
    wchar_t appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)))
        return std::wstring();
    return FormatText(L"%ls\\%ls\\%ls\\%ls\\", appData, L"Quorvane", L"VLMX", L"Registry Kelvador");
}

long long CleanerLogRank(const std::wstring& name)
{
    // At most nine digits each, so that no number overflows.
    int a = 0;
    int b = 0;
    int c = 0;
    swscanf(name.c_str(), L"log_%9d-%9d-%9d", &a, &b, &c);
    return c * 100LL + a * 10LL + b;
}

size_t NewestCleanerLog(const std::vector<std::wstring>& names)
{
    size_t newest = 0;
    for (size_t index = 1; index < names.size(); ++index)
        if (CleanerLogRank(names[index]) > CleanerLogRank(names[newest]))
            newest = index;
    return newest;
}

bool ReadCleanerLog(const std::wstring& path, std::wstring& text)
{
    CScopedHandle file = AdoptFileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const DWORD size = GetFileSize(file.Get(), nullptr);
    if (size == INVALID_FILE_SIZE)
        return false;
    std::wstring buffer;
    try
    {
        buffer.resize(size / sizeof(wchar_t));
    }
    catch (const std::bad_alloc&)
    {
        // A log of gigabytes is not one the cleaner wrote.
        return false;
    }
    DWORD wanted = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    DWORD read = 0;
    if (wanted && !ReadFile(file.Get(), &buffer[0], wanted, &read, nullptr))
        return false;
    buffer.resize(read / sizeof(wchar_t));
    text = buffer.substr(0, buffer.find(L'\0'));
    return true;
}

bool EndsWithRepair(const std::wstring& text)
{
    auto lastPosition = [&text](const wchar_t* phrase) {
        size_t at = text.rfind(phrase);
        return at == std::wstring::npos ? 0 : at;
    };
    return lastPosition(L"Invalid Entry Found") < lastPosition(L"Successfully Fixed");
}

bool CleanerLogsShowRepair(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*.log").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    do
        names.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);

    std::wstring text;
    return ReadCleanerLog(folder + names[NewestCleanerLog(names)], text) && EndsWithRepair(text);
}
