// The registry scanner's costs: its key walk against a bare walk of the same
// keys, the COM and uninstall scans, file-seeker lookups and the reading of
// long values. Prints figures only.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "regscan/FileSeeker.h"
#include "regscan/RegKey.h"
#include "regscan/RegistryScaner.h"
#include "regscan/ScanTypes.h"
#include "regscan/UninstallsScan.h"

using namespace RegistryKelvadorLib;

namespace
{
const REGSAM kWalkAccess = 0x2001F;
const double kSeekSeconds = 2.0;
const int kRounds = 3;

double Seconds(const std::function<void()>& work)
{
    LARGE_INTEGER frequency, from, to;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&from);
    work();
    QueryPerformanceCounter(&to);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// A scan that checks nothing: the walk alone. With valuesToo clear the
// depth rule keeps every value out.
class CWalkOnlyScan : public CRegScan
{
public:
    explicit CWalkOnlyScan(bool valuesToo) : CRegScan(ScanTypeEmptyKeys), m_valuesToo(valuesToo) {}

    void Scan(CRegErrorContainer* container, ScanCallback callback) override
    {
        BeginScan(container, callback);
        m_minValueDepth = m_valuesToo ? 0 : 0x7fffffff;
        m_root = HKEY_LOCAL_MACHINE;
        ScanKey(L"Software", -1, 0, 50);
        m_root = HKEY_CLASSES_ROOT;
        ScanKey(L"", -1, 50, 49);
    }
    void CheckValue(CRegValue* /*value*/) override { ++checkedValues; }

    long checkedValues = 0;

private:
    bool m_valuesToo;
};

// The system test always listens to the scans' progress.
void IgnoreProgress(ScanProgress* /*progress*/)
{
}

long BareWalk(HKEY root, const std::wstring& path)
{
    CScopedKey key;
    if (key.Open(root, path, kWalkAccess) != ERROR_SUCCESS)
        return 0;
    KeyCounts counts;
    if (QueryCounts(key.Get(), counts) != ERROR_SUCCESS)
        return 0;
    long keys = 1;
    std::wstring name(counts.longestSubkey + 1, L'\0');
    for (DWORD index = 0; index < counts.subkeys; ++index)
    {
        DWORD chars = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key.Get(), index, &name[0], &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            keys += BareWalk(root, path.empty() ? name.substr(0, chars) : path + L"\\" + name.substr(0, chars));
    }
    return keys;
}

double ScanSeconds(int scanType, size_t& errors)
{
    CRegistryScaner scanner;
    CRegErrorContainer container;
    scanner.AddScan(scanType);
    double seconds = Seconds([&] { scanner.Scan(&container, &IgnoreProgress); });
    errors = container.GetCount(scanType);
    return seconds;
}
}

int wmain()
{
    // Best of three rounds, walks taking turns, so that no walk is favoured
    // by a registry another one has just warmed.
    long keys = 0;
    double bare = 1e9, walkKeys = 1e9, walkValues = 1e9;
    long values = 0;
    for (int round = 0; round < kRounds; ++round)
    {
        bare = std::min(bare, Seconds([&] {
            keys = BareWalk(HKEY_LOCAL_MACHINE, L"Software") + BareWalk(HKEY_CLASSES_ROOT, L"");
        }));
        CWalkOnlyScan keysOnly(false);
        walkKeys = std::min(walkKeys, Seconds([&] { keysOnly.Scan(nullptr, &IgnoreProgress); }));
        CWalkOnlyScan withValues(true);
        walkValues = std::min(walkValues, Seconds([&] { withValues.Scan(nullptr, &IgnoreProgress); }));
        values = withValues.checkedValues;
    }

    std::printf("HKLM\\Software and HKCR: %ld keys, best of %d rounds\n", keys, kRounds);
    std::printf("  bare RegOpenKeyEx/RegEnumKeyEx walk: %8.3f s\n", bare);
    std::printf("  scanner walk, values left out:       %8.3f s  ratio %.2f (goal <= 1.3)\n", walkKeys,
                walkKeys / bare);
    std::printf("  scanner walk, %ld values read:   %8.3f s  ratio %.2f\n", values, walkValues, walkValues / bare);

    size_t errors = 0;
    double com = ScanSeconds(ScanTypeCom, errors);
    std::printf("COM scan:       %8.3f s, %u errors\n", com, static_cast<unsigned>(errors));
    double uninstall = ScanSeconds(ScanTypeUninstall, errors);
    std::printf("uninstall scan: %8.3f s, %u errors\n", uninstall, static_cast<unsigned>(errors));

    // Found in a search-list folder, found by its quotes, and missing.
    const wchar_t* lookups[] = {L"rundll32.exe c:\\x\\y.dll", L"\"%SystemRoot%\\notepad.exe\" /x",
                                L"c:\\windows\\tessarin_missing\\x.exe -a"};
    long done = 0;
    double spent = 0;
    while (spent < kSeekSeconds)
    {
        spent += Seconds([&] {
            for (const wchar_t* lookup : lookups)
            {
                std::wstring text = lookup;
                std::wstring arguments;
                FindFile(text, arguments, false);
            }
        });
        done += 3;
    }
    std::printf("FindFile: %.0f lookups per second (scanner log closed)\n", done / spent);

    // Texts no path resembles, as long as registry values may be.
    std::wstring spaced = L"c:\\";
    while (spaced.size() < 60000)
        spaced += L"a ";
    const std::wstring dots = L"C:\\x\\" + std::wstring(2043, L'.') + L"/";
    const std::wstring longCode = L"MsiExec.exe /X{" + std::wstring(100000, L'a') + L"}";
    std::wstring arguments;
    std::printf("long values: missing-path test of 60,000 characters with a space every other: %.3f s\n",
                Seconds([&] { IsMissingPath(spaced); }));
    std::printf("             command-line split of 2,048 characters, dots after a folder:   %.3f s\n",
                Seconds([&] { SplitCommandLine(dots, arguments); }));
    std::printf("             product code of 100,000 digits:                               %.3f s\n",
                Seconds([&] { PackedProductCode(longCode); }));
    return 0;
}
