#include "net/Update.h"

#include <wincrypt.h>

#include "engine/ScopedHandle.h"
#include "net/DownloadProgressDlg.h"
#include "net/InstallerSignature.h"
#include "net/PublisherKey.h"
#include "shell/Folders.h"
#include "shell/Module.h"
#include "shell/StringFormat.h"

namespace
{
const wchar_t kInstallerName[] = L"zxq_install.exe";
const wchar_t kUpdaterName[] = L"updater.exe";
const wchar_t kInstallError[] = L"An error occured while updates installing. Updates weren't installed!";
const int kTextDownloadError = 36;
const int kDownloadAttempts = 3;

void ShowFailure(const wchar_t* boxText)
{
    MessageBoxW(GetActiveWindow(), boxText, L"Zentrix", MB_SETFOREGROUND);
}

void ReportFailure(const wchar_t* boxText, const wchar_t* logSuffix)
{
    ShowFailure(boxText);
    g_module.LogError(FormatText(L"%ls %ls", kInstallError, logSuffix), GetLastError());
}

// Starts the updater with this process's id; true when it runs.
bool StartUpdater()
{
    // Quoted: the program folder usually has blanks in its name.
    std::wstring commandLine =
        FormatText(L"\"%ls\\%ls\" %lu", GetProgramFolder().c_str(), kUpdaterName, GetCurrentProcessId());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
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
    CCryptContext crypt;
    // By its wide name: a program folder may hold characters outside the
    // ANSI code page.
    CScopedHandle file = AdoptFileHandle(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !crypt.CreateMd5())
        return false;
    BYTE block[4096];
    DWORD read = 0;
    do
    {
        if (!ReadFile(file.Get(), block, sizeof(block), &read, nullptr) || !crypt.Add(block, read))
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

void InstallUpdate(const std::wstring& url, int filesize, const std::wstring& filemd5)
{
    const std::wstring path = FormatText(L"%ls\\%ls", GetProgramFolder().c_str(), kInstallerName);
    for (int attempt = 0;; ++attempt)
    {
        if (CDownloadProgressDlg(filesize, url, path).DoModal(GetActiveWindow()) == IDCANCEL)
            return;
        std::wstring md5;
        if (!ComputeFileMd5(path, md5))
            return ReportFailure(g_module.GetString(kTextDownloadError), L"#1");
        if (md5 == filemd5)
            break;
        if (attempt == kDownloadAttempts - 1)
            return ReportFailure(g_module.GetString(kTextDownloadError), L"#2");
    }
    // The checksum comes from the same server over the same channel, so it
    // cannot tell a tampered installer: only the publisher's signature does.
    const InstallerSignatureVerdict signature = CheckInstallerSignature(path, kPublisherKey, sizeof(kPublisherKey));
    if (!signature.accepted)
    {
        DeleteFileW(path.c_str());
        ShowFailure(g_module.GetString(kTextDownloadError));
        g_module.LogError(FormatText(L"The update installer was refused: %ls (trust result 0x%08lX)",
                                     signature.reason.c_str(), static_cast<unsigned long>(signature.trustResult)),
                          GetLastError());
        return;
    }
    // Ending the program now would abandon the run half-way (and leave the
    // disk test's files on the drives).
    if (g_module.GetTester().IsRunning())
        return ReportFailure(kInstallError, L"#4: a test is running");
    if (!StartUpdater())
        return ReportFailure(kInstallError, L"#3");
    // Ends at once, without any shutdown processing: the updater waits for
    // this process to be gone.
    TerminateProcess(GetCurrentProcess(), 0);
}
