#pragma once
#include <string>
#include <vector>

namespace RegistryKelvadorLib
{
// Folders a bare file name is looked for in, as prefixes that may hold
// environment variables. Filled on first need.
typedef std::vector<std::wstring> SearchList;

// True when a file or folder of that name exists (a folder only, with
// asDirectory; trailing backslashes are ignored then).
bool PathExists(std::wstring path, bool asDirectory);

// A plain existence test. With expand, environment variables are expanded
// first, and a name without a backslash is also looked for in the system
// folders, Internet Explorer's folder and the PATH.
bool FileExists(const std::wstring& path, SearchList& searchList, bool expand);

// Resolves a command line as found in the registry (quotes, arguments,
// environment variables, spaces in unquoted paths, bare program names) to
// an existing file. On success the text becomes the file's path and the
// arguments what followed it, when they were split off. Every failure is
// written to the scanner log.
bool FindFile(std::wstring& text, std::wstring& arguments, bool asDirectory);

// The file part of a command line (environment variables expanded); the
// command line as given when no file part is recognised.
std::wstring SplitCommandLine(const std::wstring& commandLine, std::wstring& arguments);

// A drive letter path ("C:\..."), quotes aside.
bool IsAbsolutePath(const std::wstring& text);
// An absolute path that resolves neither to a file nor to a folder.
bool IsMissingPath(std::wstring text);
}
