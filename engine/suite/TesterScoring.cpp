// The scoring half of the run controller: totals, percentage and the two
// small files that keep the last total and percentage between runs.
#include "engine/suite/Tester.h"

#include <cstring>

#include "base/Folders.h"
#include "base/Log.h"

namespace
{
const wchar_t kLastScoreFile[] = L"zxq_ls";
const wchar_t kLastPercentageFile[] = L"zxq_lp";

std::wstring DataFilePath(const wchar_t* name)
{
    return GetAppDataFolder() + L"\\" + name;
}

void SaveValue(const wchar_t* name, const void* value, DWORD size)
{
    CScopedHandle file = AdoptFileHandle(CreateFileW(DataFilePath(name).c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!file)
    {
        LogError(L"Cannot save last scores", GetLastError());
        return;
    }
    DWORD written = 0;
    WriteFile(file.Get(), value, size, &written, nullptr);
}

// True only when the whole value was read: a short file must not leave a
// value that is half old bytes, half new ones.
bool LoadValue(const wchar_t* name, void* value, DWORD size)
{
    CScopedHandle file = AdoptFileHandle(CreateFileW(DataFilePath(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!file)
    {
        LogError(L"Cannot load last scores", GetLastError());
        return false;
    }
    unsigned char buffer[sizeof(double)];
    DWORD read = 0;
    if (size > sizeof(buffer) || !ReadFile(file.Get(), buffer, size, &read, nullptr) || read != size)
    {
        LogError(L"Cannot load last scores", ERROR_HANDLE_EOF);
        return false;
    }
    memcpy(value, buffer, size);
    return true;
}

// Adding 0.5 before truncating rounds half up: every score is non-negative.
int RoundedSum(double sum)
{
    return static_cast<int>(0.5 + sum);
}
}

int CTester::CalcTotalScore()
{
    double sum = 0;
    for (const auto& test : m_tests)
        sum += test->GetScore();
    m_totalScore = RoundedSum(sum);
    m_totalScoreKnown = true;
    CalcMaxScore();
    return m_totalScore;
}

int CTester::CalcMaxScore()
{
    double sum = 0;
    for (const auto& test : m_tests)
        sum += test->GetMaxScore();
    m_maxScore = RoundedSum(sum);
    return m_maxScore;
}

double CTester::GetPercentage() const
{
    if (m_totalScore == 0 || m_maxScore == 0)
        return 0;
    return static_cast<double>(m_totalScore) / m_maxScore * 100;
}

void CTester::SaveLastScore() const
{
    if (m_totalScoreKnown)
        SaveValue(kLastScoreFile, &m_totalScore, sizeof(m_totalScore));
}

void CTester::LoadLastScore()
{
    // Totals are sums of non-negative scores: a negative one is a damaged file.
    int total = 0;
    if (!LoadValue(kLastScoreFile, &total, sizeof(total)))
        return;
    if (total < 0)
    {
        LogError(L"Cannot load last scores", ERROR_INVALID_DATA);
        return;
    }
    m_totalScore = total;
    m_totalScoreKnown = true;
}

void CTester::SaveLastPercentage() const
{
    double percentage = GetPercentage();
    SaveValue(kLastPercentageFile, &percentage, sizeof(percentage));
}

double CTester::LoadLastPercentage() const
{
    double percentage = 0;
    if (!LoadValue(kLastPercentageFile, &percentage, sizeof(percentage)))
        return 0;
    // The window shows it as a whole number: NaN, infinities and values
    // outside 0..100 (a damaged file) would show as nonsense.
    if (!(percentage >= 0 && percentage <= 100))
    {
        LogError(L"Cannot load last scores", ERROR_INVALID_DATA);
        return 0;
    }
    return percentage;
}
