#include "regscan/FileSeeker.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "regscan/RegKey.h"
#include "regscan/ScannerLog.h"
#include "shell/StringFormat.h"

namespace RegistryKelvadorLib
{
namespace
{
// File parts are looked for in this much of a command line at most. No path
// comes near it.
const size_t kLongestMatchedText = 2048;
// No path the system accepts is longer: the seeker looks up nothing longer.
const size_t kLongestPath = 32767;
// The most folders, and the most candidates for the file, looked up in one
// drive path. A path that the system's calls accept without the long-path
// prefix is shorter than MAX_PATH, so it holds fewer of either; the bound
// keeps the work on a long value to a few hundred lookups.
const int kMostLookups = MAX_PATH / 2;

std::wstring Trim(const std::wstring& text, bool (*isTrimmed)(wchar_t))
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && isTrimmed(text[first]))
        ++first;
    while (last > first && isTrimmed(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool IsSpace(wchar_t character)
{
    return std::iswspace(character) != 0;
}

bool IsQuote(wchar_t character)
{
    return character == L'"';
}

std::wstring WithoutQuotes(std::wstring text)
{
    text.erase(std::remove(text.begin(), text.end(), L'"'), text.end());
    return text;
}

std::wstring EnvironmentValue(const wchar_t* name)
{
    DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0)
        return std::wstring();
    std::wstring value(needed, L'\0');
    DWORD written = GetEnvironmentVariableW(name, &value[0], needed);
    value.resize(written < needed ? written : 0);
    return value;
}

bool IsAsciiLetter(wchar_t character)
{
    return (character >= L'a' && character <= L'z') || (character >= L'A' && character <= L'Z');
}

// Ends the characters a file name is read from.
bool IsNameBreak(wchar_t character)
{
    return character == L'/' || character == L':' || character == L'\\' || character == L'"';
}

// A file part ends at a quote, at white space or at the end of the text; its
// extension cannot run past '/', ':' or '\'.
bool EndsFilePart(const std::wstring& text, size_t at)
{
    return at == text.size() || text[at] == L'"' || IsSpace(text[at]);
}

// The name of a file part runs from `first` up to `end`, the first name break
// after it or the end of the text, and has a dot with at least one character
// before it. The end of the file part whose extension follows the last such
// dot that gives one, or npos.
size_t LastExtensionEnd(const std::wstring& text, size_t first, size_t end)
{
    size_t stop = end;
    for (size_t at = end; at-- > first + 1;)
    {
        if (IsSpace(text[at]))
            stop = at;
        else if (text[at] == L'.' && EndsFilePart(text, stop))
            return stop;
    }
    return std::wstring::npos;
}

// The same for the first dot that gives one: only the first dot can, as
// every later one ends where it does.
size_t FirstExtensionEnd(const std::wstring& text, size_t first, size_t end)
{
    size_t dot = text.find(L'.', first + 1);
    if (dot == std::wstring::npos || dot >= end)
        return std::wstring::npos;
    size_t stop = dot + 1;
    while (stop < end && !IsSpace(text[stop]))
        ++stop;
    return EndsFilePart(text, stop) ? stop : std::wstring::npos;
}

// A drive path whose file name has an extension, perhaps after a quote: the
// longest folder part whose last name gives one, and in it the last dot that
// does. Its length, or 0 when there is none.
size_t DrivePathLength(const std::wstring& text)
{
    const size_t drive = !text.empty() && text[0] == L'"' ? 1 : 0;
    if (text.size() < drive + 3 || !IsAsciiLetter(text[drive]) || text[drive + 1] != L':' ||
        text[drive + 2] != L'\\')
        return 0;
    const size_t root = drive + 2;
    size_t limit = text.find_first_of(L"/:\"", root + 1);
    if (limit == std::wstring::npos)
        limit = text.size();
    // The folder part holds at least one character after the root.
    size_t nameEnd = limit;
    for (size_t slash = limit; slash-- > root + 2;)
    {
        if (text[slash] != L'\\')
            continue;
        size_t end = LastExtensionEnd(text, slash + 1, nameEnd);
        if (end != std::wstring::npos)
            return end;
        nameEnd = slash;
    }
    return 0;
}

// A bare file name with an extension, perhaps after a quote, up to its first
// dot that gives one. Its length, or 0 when there is none.
size_t BareNameLength(const std::wstring& text)
{
    const size_t first = !text.empty() && text[0] == L'"' ? 1 : 0;
    size_t end = first;
    while (end < text.size() && !IsNameBreak(text[end]))
        ++end;
    size_t length = FirstExtensionEnd(text, first, end);
    return length == std::wstring::npos ? 0 : length;
}

// The file part at the start of a command line, read in one pass over the
// text: a drive path, or else a bare name, whose file name has an extension,
// ending before a quote, white space or the end. Its length, or 0 when there
// is none.
size_t FilePartLength(const std::wstring& text)
{
    size_t length = DrivePathLength(text);
    return length ? length : BareNameLength(text);
}

// The standard folders; the WOW64 system folder only for FindFile.
SearchList BuildSearchList(bool withWow64Folder)
{
    SearchList list = {L"%systemroot%\\system32\\", L"%systemroot%\\"};
    if (withWow64Folder)
        list.push_back(L"%systemroot%\\sysWow64\\");
    list.push_back(EnvironmentValue(L"ProgramFiles") + L"\\Internet Explorer\\");
    std::wstring path = EnvironmentValue(L"PATH");
    size_t start = 0;
    while (start <= path.size())
    {
        size_t end = path.find(L';', start);
        if (end == std::wstring::npos)
            end = path.size();
        std::wstring entry = path.substr(start, end - start);
        if (!entry.empty())
            list.push_back(entry.back() == L'\\' ? entry : entry + L"\\");
        start = end + 1;
    }
    return list;
}

// The ":\" of a drive path, then each folder on the way, must exist; then
// the last part is tried up to each of its spaces, and whole.
bool ResolveDrivePath(const std::wstring& work, std::wstring& text, std::wstring& arguments)
{
    size_t lastSlash = 2;
    int folders = 0;
    for (size_t next = work.find(L'\\', lastSlash + 1); next != std::wstring::npos;
         next = work.find(L'\\', lastSlash + 1))
    {
        if (next > kLongestPath || ++folders > kMostLookups || !PathExists(work.substr(0, next), true))
            return false;
        lastSlash = next;
    }
    const std::wstring folder = work.substr(0, lastSlash);
    const std::wstring last = work.substr(lastSlash + 1);
    int candidates = 0;
    for (size_t space = last.find(L' '); ; space = last.find(L' ', space + 1))
    {
        // Each candidate is longer than the one before.
        const size_t nameLength = space == std::wstring::npos ? last.size() : space;
        if (folder.size() + 1 + nameLength > kLongestPath || ++candidates > kMostLookups)
            break;
        std::wstring candidate = folder + L"\\" + last.substr(0, space);
        if (PathExists(candidate, false))
        {
            text = candidate;
            size_t rest = work.size() > candidate.size() ? work.size() - candidate.size() - 1 : 0;
            arguments = work.substr(work.size() - rest);
            return true;
        }
        if (space == std::wstring::npos)
            break;
    }
    text = folder + L"\\" + last;
    return false;
}

bool Resolve(std::wstring& text, std::wstring& arguments, bool asDirectory, bool searchList)
{
    const std::wstring diagnostic = L"File seeker didn't find file (in - " + text + L") (out -";
    auto fail = [&]() {
        WriteScannerLog(diagnostic + FormatText(L"%ls )", text.c_str()));
        return false;
    };

    if (PathExists(text, asDirectory))
        return true;
    std::wstring expanded = ExpandEnvironment(text);
    if (PathExists(expanded, asDirectory))
    {
        text = expanded;
        return true;
    }

    if (!expanded.empty() && expanded[0] == L'"')
    {
        size_t quote = expanded.find(L'"', 1);
        std::wstring candidate =
            quote == std::wstring::npos ? std::wstring() : Trim(expanded.substr(0, quote), IsQuote);
        if (PathExists(candidate, asDirectory))
        {
            arguments = Trim(expanded.substr(quote + 1), IsSpace);
            text = candidate;
            return true;
        }
    }

    std::wstring work = Trim(WithoutQuotes(ToLower(expanded)), IsSpace);
    size_t drive = work.find(L":\\");
    if (drive == 1)
        return ResolveDrivePath(work, text, arguments) || fail();
    if (drive != std::wstring::npos)
        work = drive == 0 ? std::wstring() : Trim(work.substr(0, drive - 1), IsSpace);

    if (!searchList)
        return fail();
    for (const std::wstring& entry : BuildSearchList(true))
    {
        std::wstring candidate = FormatText(L"%ls%ls", entry.c_str(), work.c_str());
        if (Resolve(candidate, arguments, asDirectory, false))
        {
            text = candidate;
            return true;
        }
    }
    return fail();
}
}

bool PathExists(std::wstring path, bool asDirectory)
{
    if (asDirectory)
        while (!path.empty() && path.back() == L'\\')
            path.pop_back();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return !asDirectory || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::wstring& path, SearchList& searchList, bool expand)
{
    if (PathExists(expand ? ExpandEnvironment(path) : path, false))
        return true;
    if (!expand || path.find(L'\\') != std::wstring::npos)
        return false;
    if (searchList.empty())
        searchList = BuildSearchList(false);
    for (const std::wstring& entry : searchList)
        if (PathExists(FormatText(L"%ls%ls", ExpandEnvironment(entry).c_str(), path.c_str()), false))
            return true;
    return false;
}

bool FindFile(std::wstring& text, std::wstring& arguments, bool asDirectory)
{
    return Resolve(text, arguments, asDirectory, true);
}

std::wstring SplitCommandLine(const std::wstring& commandLine, std::wstring& arguments)
{
    const std::wstring expanded = ExpandEnvironment(commandLine);
    const size_t fileLength = FilePartLength(expanded.substr(0, kLongestMatchedText));
    if (fileLength == 0)
        return commandLine;
    const std::wstring file = expanded.substr(0, fileLength);
    arguments = Trim(file.size() < expanded.size() ? expanded.substr(file.size() + 1) : std::wstring(), IsQuote);
    return Trim(file, IsQuote);
}

bool IsAbsolutePath(const std::wstring& text)
{
    std::wstring path = WithoutQuotes(text);
    return !path.empty() && std::iswalpha(path[0]) && path.find(L":\\") == 1;
}

bool IsMissingPath(std::wstring text)
{
    std::wstring arguments;
    return IsAbsolutePath(text) && !FindFile(text, arguments, false) && !FindFile(text, arguments, true);
}
}
