#pragma once
#include <windows.h>
#include <string>

// Ostrel.exe, written from a module's "EXE" resources into that module's
// folder, started from there and deleted again when this object goes (only
// when this object wrote it).
class COstrelFile
{
public:
    // module: the module whose resources hold the Ostrel builds (null for
    // the program itself).
    explicit COstrelFile(HMODULE module);
    ~COstrelFile();
    COstrelFile(const COstrelFile&) = delete;
    COstrelFile& operator=(const COstrelFile&) = delete;

    // The resource id of the build that runs natively on a processor
    // architecture (PROCESSOR_ARCHITECTURE_*); 0 when there is none.
    static WORD ResourceFor(WORD architecture);

    // Writes the resource with the given id to Path(); false when the
    // resource is missing or the file was not written completely.
    bool Extract(WORD resourceId);

    // Empty when the module's file name cannot be read.
    const std::wstring& Path() const { return m_path; }

private:
    HMODULE m_module;
    std::wstring m_path;
    bool m_written = false;
};
