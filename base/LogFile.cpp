#include "base/LogFile.h"

#include <algorithm>

#include "base/Folders.h"
#include "base/OSInfo.h"
#include "base/StringFormat.h"

namespace
{
const int kMinCapKB = 128;
const int kMaxCapKB = 1048576;
const int kMaxKeepPercent = 80;
const DWORD kWriterWaitMs = 15000;
const wchar_t kDefaultTimeFormat[] = L"%h:%M:%s %d.%m.%Y";

int ChooseCapBytes(int capKB)
{
    return std::clamp(capKB, kMinCapKB, kMaxCapKB) * 1024;
}

int ChooseKeepBytes(int keepKB, int capBytes)
{
    // 64-bit arithmetic: a large cap times 80, or a large tail times 1024,
    // does not fit in 32 bits.
    long long keepBytes = static_cast<long long>(keepKB) * 1024;
    long long limit = static_cast<long long>(capBytes) * kMaxKeepPercent / 100;
    if (keepBytes <= 0 || keepBytes > limit)
        return capBytes / 2;
    return static_cast<int>(keepBytes);
}

std::wstring TwoDigits(int value)
{
    return FormatText(value < 10 ? L"0%d" : L"%d", value);
}

std::wstring FormatLine(const SYSTEMTIME& time, const std::wstring& text)
{
    std::wstring stamp = FormatText(L"%ls.%ls.%ls %ls:%ls:%ls ",
                                    TwoDigits(time.wYear).c_str(), TwoDigits(time.wMonth).c_str(),
                                    TwoDigits(time.wDay).c_str(), TwoDigits(time.wHour).c_str(),
                                    TwoDigits(time.wMinute).c_str(), TwoDigits(time.wSecond).c_str());
    return stamp + text + L"\r\n";
}

bool SeekTo(HANDLE file, LONGLONG offset, DWORD origin)
{
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    return SetFilePointerEx(file, distance, nullptr, origin) != FALSE;
}

// Reads the last keepBytes bytes as UTF-16 text. The file holds whole
// characters from offset 0, so the read starts on an even offset and a
// dangling odd byte at the end is left out.
bool ReadTail(HANDLE file, LONGLONG fileSize, LONGLONG keepBytes, std::wstring& tail)
{
    LONGLONG start = fileSize - std::min(keepBytes, fileSize);
    start += start % 2;
    DWORD byteCount = static_cast<DWORD>((fileSize - start) / 2 * 2);
    tail.assign(byteCount / 2, L'\0');

    DWORD read = 0;
    return SeekTo(file, start, FILE_BEGIN) && ReadFile(file, &tail[0], byteCount, &read, nullptr) && read == byteCount;
}

// The tail without its first, usually partial, line and without the line
// feeds that follow it. A tail without any line feed is one partial line,
// so nothing of it is kept.
std::wstring WholeLines(const std::wstring& tail)
{
    size_t firstLineFeed = tail.find(L'\n');
    if (firstLineFeed == std::wstring::npos)
        return std::wstring();
    size_t start = tail.find_first_not_of(L'\n', firstLineFeed);
    return start == std::wstring::npos ? std::wstring() : tail.substr(start);
}
}

CLogFile::CLogFile(std::wstring folder, std::wstring fileName, std::wstring timeFormat, int capKB, int keepKB)
    : m_folder(std::move(folder)),
      m_timeFormat(timeFormat.empty() ? kDefaultTimeFormat : std::move(timeFormat)),
      m_capBytes(ChooseCapBytes(capKB)),
      m_keepBytes(ChooseKeepBytes(keepKB, m_capBytes))
{
    if (!m_folder.empty() && m_folder.back() != L'\\')
        m_folder += L'\\';
    m_path = m_folder + fileName;

    Utils::Info::COSInfo os;
    AppendLine(FormatText(L"Application start up... File version %ls. WinVersion %ls",
                          GetFileVersionText(GetProgramPath()).c_str(), os.GetText().c_str()));

    m_mutex.Reset(CreateMutexW(nullptr, FALSE, nullptr));
}

CLogFile::~CLogFile()
{
    m_mutex.Reset();
    AppendLine(L"Application shutdown...");
}

void CLogFile::Write(const std::wstring& text)
{
    DWORD wait = WaitForSingleObject(m_mutex.Get(), kWriterWaitMs);
    // An abandoned mutex (its owner ended inside a write) now belongs to us
    // and must be released like any other.
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
        return;
    AppendLine(text);
    ReleaseMutex(m_mutex.Get());
}

void CLogFile::AppendLine(const std::wstring& text) noexcept
{
    try
    {
        SYSTEMTIME now;
        GetLocalTime(&now);
        AppendLineToFile(FormatLine(now, text));
    }
    catch (...)
    {
        // A log line is never worth failing the caller for.
    }
}

void CLogFile::AppendLineToFile(const std::wstring& line)
{
    if (!m_folder.empty())
    {
        CreateFolderPath(m_folder);
        SetFileAttributesW(m_folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    }

    // No sharing: a line is lost rather than mixed with another writer's.
    CScopedHandle file = AdoptFileHandle(CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;

    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size))
        return;

    std::wstring content;
    if (size.QuadPart > m_capBytes)
    {
        std::wstring tail;
        if (!ReadTail(file.Get(), size.QuadPart, m_keepBytes, tail))
            return;
        content = WholeLines(tail);
        if (!SeekTo(file.Get(), 0, FILE_BEGIN) || !SetEndOfFile(file.Get()))
            return;
    }
    else
    {
        // Append on a character boundary even after a torn write left an
        // odd byte at the end.
        if (!SeekTo(file.Get(), size.QuadPart / 2 * 2, FILE_BEGIN))
            return;
    }
    content += line;

    DWORD written = 0;
    WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size() * sizeof(wchar_t)), &written, nullptr);
}
