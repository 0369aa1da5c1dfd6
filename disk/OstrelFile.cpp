#include "disk/OstrelFile.h"

#include "disk/OstrelResources.h"
#include "base/ScopedHandle.h"
#include "base/Folders.h"

COstrelFile::COstrelFile(HMODULE module) : m_module(module)
{
    std::wstring folder = GetModuleFolder(module);
    if (!folder.empty())
        m_path = folder + L"\\Ostrel.exe";
}

COstrelFile::~COstrelFile()
{
    if (!m_written)
        return;
    // A process that has just ended may keep its image open for a moment.
    for (int attempt = 0; attempt < 20 && !DeleteFileW(m_path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND;
         ++attempt)
        Sleep(50);
}

WORD COstrelFile::ResourceFor(WORD architecture)
{
    switch (architecture)
    {
    case PROCESSOR_ARCHITECTURE_AMD64:
        return IDR_OSTREL_X64;
    case PROCESSOR_ARCHITECTURE_INTEL:
        return IDR_OSTREL_X86;
    default:
        return 0;
    }
}

bool COstrelFile::Extract(WORD resourceId)
{
    if (m_path.empty())
        return false;
    HRSRC resource = FindResourceW(m_module, MAKEINTRESOURCEW(resourceId), L"EXE");
    DWORD size = resource ? SizeofResource(m_module, resource) : 0;
    HGLOBAL loaded = size ? LoadResource(m_module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return false;

    CScopedHandle file = AdoptFileHandle(
        CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    m_written = true;
    DWORD written = 0;
    return WriteFile(file.Get(), bytes, size, &written, nullptr) && written == size;
}
