#include "net/Update.h"

#include <wincrypt.h>

#include "base/ScopedHandle.h"
#include "net/DownloadProgressDlg.h"
#include "net/InstallerSignature.h"
#include "net/PublisherKey.h"
#include "base/Folders.h"
#include "base/Log.h"
#include "base/UiText.h"
#include "base/UiTextIds.h"
#include "base/StringFormat.h"

namespace
{
const wchar_t kInstallerName[] = L"zxq_install.exe";
const wchar_t kUpdaterName[] = L"updater.exe";
const wchar_t kInstallError[] = L"An error occured while updates installing. Updates weren't installed!";
const int kDownloadAttempts = 3;

void ShowFailure(const wchar_t* boxText)
{
    MessageBoxW(GetActiveWindow(), boxText, L"Zentrix", MB_SETFOREGROUND);
}

void ReportFailure(const wchar_t* boxText, const wchar_t* logSuffix)
{
    ShowFailure(boxText);
    LogError(FormatText(L"%ls %ls", kInstallError, logSuffix), GetLastError());
}

// Opens the downloaded installer so that, while the handle lives, no other
// process can write, delete or rename it (no FILE_SHARE_WRITE or
// FILE_SHARE_DELETE: "Creating and Opening Files", CreateFileW). What is
// checked through this handle is then what the updater starts.
CScopedHandle HoldInstaller(const std::wstring& path)
{
    return AdoptFileHandle(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Starts the updater with this process's id and the held installer, which
// it inherits and keeps until the installer has started; true when it runs.
// The updater is the only child started with inheritance, and at this
// point the program holds no other inheritable handle (no run is going).
bool StartUpdater(HANDLE installer)
{
    if (!SetHandleInformation(installer, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
        return false;
    // Quoted: the program folder usually has blanks in its name.
    std::wstring commandLine = FormatText(L"\"%ls\\%ls\" %lu %llu", GetProgramFolder().c_str(), kUpdaterName,
                                          GetCurrentProcessId(), static_cast<unsigned long long>(
                                                                     reinterpret_cast<ULONG_PTR>(installer)));
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Why the held installer must not run, empty when it may: the publisher's
// signature, and a version of its own above the running program's, so that
// an older signed release offered again is no update.
std::wstring RefusalReason(HANDLE installer, const std::wstring& path)
{
    const InstallerSignatureVerdict signature =
        CheckInstallerSignature(installer, path, kPublisherKey, sizeof(kPublisherKey));
    if (!signature.accepted)
        return FormatText(L"%ls (trust result 0x%08lX)", signature.reason.c_str(),
                          static_cast<unsigned long>(signature.trustResult));
    const std::wstring running = GetFileVersionText(GetProgramPath());
    const std::wstring offered = GetFileVersionText(path);
    if (offered.empty() || !IsVersionLower(ParseVersion(running), ParseVersion(offered)))
        return FormatText(L"the installer's version (%ls) is not newer than this program's (%ls)",
                          offered.empty() ? L"none" : offered.c_str(), running.c_str());
    return std::wstring();
}

class CCryptContext
{
public:
    CCryptContext()
    {
        const wchar_t* provider = MS_ENHANCED_PROV_W;
        if (!CryptAcquireContextW(&m_provider, nullptr, provider, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
            GetLastError() == static_cast<DWORD>(NTE_BAD_KEYSET))
            CryptAcquireContextW(&m_provider, nullptr, provider, PROV_RSA_FULL, 0);
    }
    ~CCryptContext()
    {
        if (m_hash)
            CryptDestroyHash(m_hash);
        if (m_provider)
            CryptReleaseContext(m_provider, 0);
    }
    CCryptContext(const CCryptContext&) = delete;
    CCryptContext& operator=(const CCryptContext&) = delete;

    bool CreateMd5() { return m_provider && CryptCreateHash(m_provider, CALG_MD5, 0, 0, &m_hash); }
    bool Add(const BYTE* data, DWORD size) { return CryptHashData(m_hash, data, size, 0) != FALSE; }
    bool Value(BYTE* value, DWORD size) { return CryptGetHashParam(m_hash, HP_HASHVAL, value, &size, 0) != FALSE; }

private:
    HCRYPTPROV m_provider = 0;
    HCRYPTHASH m_hash = 0;
};
}

bool ComputeFileMd5(const std::wstring& path, std::wstring& md5)
{
    // By its wide name: a program folder may hold characters outside the
    // ANSI code page.
    CScopedHandle file = HoldInstaller(path);
    return file && ComputeFileMd5(file.Get(), md5);
}

bool ComputeFileMd5(HANDLE file, std::wstring& md5)
{
    CCryptContext crypt;
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER || !crypt.CreateMd5())
        return false;
    BYTE block[4096];
    DWORD read = 0;
    do
    {
        if (!ReadFile(file, block, sizeof(block), &read, nullptr) || !crypt.Add(block, read))
            return false;
    } while (read != 0);
    BYTE value[16];
    if (!crypt.Value(value, sizeof(value)))
        return false;
    md5.clear();
    for (BYTE byte : value)
        md5 += FormatText(L"%02x", byte);
    return true;
}

void InstallUpdate(const std::wstring& url, int filesize, const std::wstring& filemd5,
                   const std::function<bool()>& runUnderWay)
{
    const std::wstring path = FormatText(L"%ls\\%ls", GetProgramFolder().c_str(), kInstallerName);
    // Held from the first check until the updater has started it.
    CScopedHandle installer;
    for (int attempt = 0;; ++attempt)
    {
        installer.Reset();
        if (CDownloadProgressDlg(filesize, url, path).DoModal(GetActiveWindow()) == IDCANCEL)
            return;
        installer = HoldInstaller(path);
        std::wstring md5;
        if (!installer || !ComputeFileMd5(installer.Get(), md5))
            return ReportFailure(GetUiText(kTextDownloadError), L"#1");
        if (md5 == filemd5)
            break;
        if (attempt == kDownloadAttempts - 1)
            return ReportFailure(GetUiText(kTextDownloadError), L"#2");
    }
    // The checksum comes from the same server over the same channel, so it
    // cannot tell a tampered installer: only the publisher's signature does.
    const std::wstring refusal = RefusalReason(installer.Get(), path);
    if (!refusal.empty())
    {
        const DWORD error = GetLastError();
        installer.Reset();
        DeleteFileW(path.c_str());
        ShowFailure(GetUiText(kTextDownloadError));
        LogError(L"The update installer was refused: " + refusal, error);
        return;
    }
    // Ending the program now would abandon the run half-way (and leave the
    // disk test's files on the drives).
    if (runUnderWay())
        return ReportFailure(kInstallError, L"#4: a test is running");
    if (!StartUpdater(installer.Get()))
        return ReportFailure(kInstallError, L"#3");
    // Ends at once, without any shutdown processing: the updater waits for
    // this process to be gone.
    TerminateProcess(GetCurrentProcess(), 0);
}
