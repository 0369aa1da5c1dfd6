// Hostile contents for the program's own small files: the stored results
// page ("user_url"), the last total ("zxq_ls") and the last percentage
// ("zxq_lp"), each read by the code that reads it at start.
#include <windows.h>

#include <cmath>
#include <memory>
#include <cstring>

#include "engine/suite/Tester.h"
#include "net/Settings.h"
#include "base/Folders.h"
#include "testbed/fuzz/FuzzCampaign.h"

namespace
{
std::wstring DataFile(const wchar_t* name)
{
    return GetAppDataFolder() + L"\\" + name;
}

// The user's own files in the application data folder are put aside while
// the campaign writes its own there, and come back at the end.
class CSetAside
{
public:
    explicit CSetAside(const wchar_t* name) : m_path(DataFile(name))
    {
        m_existed = ReadFileBytes(m_path, m_bytes);
    }
    ~CSetAside()
    {
        if (m_existed)
            WriteFileBytes(m_path, m_bytes);
        else
            DeleteFileW(m_path.c_str());
    }
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
    std::string m_bytes;
    bool m_existed = false;
};

std::string Bytes(const void* value, size_t size)
{
    return std::string(static_cast<const char*>(value), size);
}

std::string GenerateUrlFile(CFuzzRandom& random)
{
    const std::wstring address = L"http://www.tessarin.test/results?uid=0a1b2c3d-11111111-22222222-33333333";
    return CMutator(random).Mutate(Bytes(address.c_str(), (address.size() + 1) * sizeof(wchar_t)));
}

FuzzOutcome ReadUrlFile(const std::string& input)
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"fuzz_user_url";
    if (!WriteFileBytes(path, input))
        return FuzzOutcome::Fail("cannot write the scratch file");
    std::wstring first;
    {
        CSettings settings(path);
        first = settings.GetUrl();
        if (first.size() > CSettings::kMaxUrlLength || first.find(L'\0') != std::wstring::npos)
            return FuzzOutcome::Fail("the address is longer than its bound or holds a NUL");
    }
    // What the read kept is written back whole: a second start reads the same.
    CSettings again(path);
    if (again.GetUrl() != first)
        return FuzzOutcome::Fail("the address changed between two starts");
    return FuzzOutcome();
}

std::string GenerateScoreFile(CFuzzRandom& random, bool percentage)
{
    CMutator mutator(random);
    if (random.Chance(40))
    {
        // Values a damaged file may hold, whole.
        if (percentage)
        {
            const double values[] = {NAN, INFINITY, -INFINITY, -1, 100.0001, 1e300, -1e-300, 50, 0, 100};
            const double value = values[random.Below(sizeof(values) / sizeof(values[0]))];
            return Bytes(&value, sizeof(value));
        }
        const int values[] = {-1, INT_MIN, INT_MAX, 0, 1234};
        const int value = values[random.Below(sizeof(values) / sizeof(values[0]))];
        return Bytes(&value, sizeof(value));
    }
    const double percent = 87.5;
    const int total = 1234;
    return mutator.Mutate(percentage ? Bytes(&percent, sizeof(percent)) : Bytes(&total, sizeof(total)), 64);
}

// The stored value is read, never rewritten by a read: the file must hold
// the same bytes afterwards.
FuzzOutcome CheckUntouched(const std::wstring& path, const std::string& input)
{
    std::string after;
    if (!ReadFileBytes(path, after) || after != input)
        return FuzzOutcome::Fail("the stored file changed on a read");
    return FuzzOutcome();
}

FuzzOutcome ReadLastScore(const std::string& input)
{
    const std::wstring path = DataFile(L"zxq_ls");
    if (!WriteFileBytes(path, input))
        return FuzzOutcome::Fail("cannot write zxq_ls");
    {
        CTester tester(1);
        tester.CreateTests(); // loads the last total, as at start
        if (tester.GetTotalScore() < 0)
            return FuzzOutcome::Fail("negative last total " + std::to_string(tester.GetTotalScore()));
    }
    int stored = -1;
    if (input.size() >= sizeof(stored))
        std::memcpy(&stored, input.data(), sizeof(stored));
    const bool loaded = stored >= 0;
    // A total that was read goes back as it was read; anything else stays
    // as it was.
    return loaded ? CheckUntouched(path, input.substr(0, sizeof(int))) : CheckUntouched(path, input);
}

FuzzOutcome ReadLastPercentage(const std::string& input)
{
    const std::wstring path = DataFile(L"zxq_lp");
    if (!WriteFileBytes(path, input))
        return FuzzOutcome::Fail("cannot write zxq_lp");
    {
        CTester tester(1);
        const double percent = tester.LoadLastPercentage();
        if (!std::isfinite(percent) || percent < 0 || percent > 100)
            return FuzzOutcome::Fail("last percentage out of 0..100: " + std::to_string(percent));
    }
    return CheckUntouched(path, input);
}
}

int wmain(int argc, wchar_t** argv)
{
    std::unique_ptr<CSetAside> score, percentage;
    auto setUp = [&] {
        score = std::make_unique<CSetAside>(L"zxq_ls");
        percentage = std::make_unique<CSetAside>(L"zxq_lp");
        return true;
    };
    return RunFuzzProgram(argc, argv,
                          {{"user_url", GenerateUrlFile, ReadUrlFile, 5000},
                           {"zxq_ls", [](CFuzzRandom& r) { return GenerateScoreFile(r, false); }, ReadLastScore, 5000},
                           {"zxq_lp", [](CFuzzRandom& r) { return GenerateScoreFile(r, true); }, ReadLastPercentage,
                            5000}},
                          setUp);
}
