#include "testbed/support/FileBytes.h"

#include "base/ScopedHandle.h"

bool ReadFileBytes(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    CScopedHandle file = AdoptFileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                     nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return false;
    const DWORD size = GetFileSize(file.Get(), nullptr);
    if (size == INVALID_FILE_SIZE)
        return false;
    bytes.resize(size);
    DWORD read = 0;
    if (size && !ReadFile(file.Get(), &bytes[0], size, &read, nullptr))
    {
        bytes.clear();
        return false;
    }
    bytes.resize(read);
    return true;
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::string bytes;
    ReadFileBytes(path, bytes);
    return bytes;
}

std::wstring ReadFileText(const std::wstring& path)
{
    const std::string bytes = ReadFileBytes(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes, DWORD attributes)
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    CScopedHandle file =
        AdoptFileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}
