#include "base/Folders.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "base/StringFormat.h"

namespace
{
const wchar_t kCompanyFolder[] = L"Quorvane";
const wchar_t kProductFolder[] = L"Zentrix";

// Runs a "fill this buffer" query of the GetCurrentDirectory kind: it returns
// the length written, or the size it needs when the buffer is too small.
template <typename Query>
std::wstring QueryBufferText(Query query)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD length = query(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length >= buffer.size())
    {
        buffer.resize(length);
        length = query(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length >= buffer.size())
            return std::wstring();
    }
    return std::wstring(buffer.data(), length);
}

bool FolderExists(const std::wstring& folder)
{
    DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
}

bool CreateFolderPath(const std::wstring& folder)
{
    // Every prefix that ends before a backslash is a candidate parent. Drive
    // roots and server names fail to be created, which is harmless.
    for (size_t end = folder.find(L'\\', 1); end != std::wstring::npos; end = folder.find(L'\\', end + 1))
        CreateDirectoryW(folder.substr(0, end).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    return FolderExists(folder);
}

std::wstring GetAppDataFolder()
{
    wchar_t appData[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE))
        return std::wstring();

    std::wstring folder = FormatText(L"%ls\\%ls\\", appData, kCompanyFolder);
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += kProductFolder;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring GetModulePath(HMODULE module)
{
    // GetModuleFileNameW truncates silently; a full buffer means "try larger".
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;)
    {
        DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768)
            return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetModuleFolder(HMODULE module)
{
    std::wstring path = GetModulePath(module);
    size_t lastSlash = path.rfind(L'\\');
    if (lastSlash == std::wstring::npos)
        return std::wstring();
    return path.substr(0, lastSlash);
}

std::wstring GetProgramPath()
{
    return GetModulePath(nullptr);
}

std::wstring GetProgramFolder()
{
    return GetModuleFolder(nullptr);
}

std::wstring GetCurrentFolder()
{
    return QueryBufferText([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); });
}

std::wstring GetSystemFolder()
{
    return QueryBufferText([](wchar_t* buffer, DWORD size) { return GetSystemDirectoryW(buffer, size); });
}

std::wstring GetFileVersionText(const std::wstring& path)
{
    DWORD unused = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &unused);
    if (size == 0)
        return std::wstring();

    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()))
        return std::wstring();

    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || !info
        || infoSize < sizeof(VS_FIXEDFILEINFO))
        return std::wstring();

    return FormatText(L"%d.%d.%d.%d",
                      HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                      HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
}
