#include "testbed/fuzz/Mutations.h"

#include <cstring>

namespace
{
// What readers stop at or split on: the mutations drop them or repeat them.
const char kTerminators[] = {'\0', '\n', '\r', '>', '"', '=', '%', ')', '}'};
}

uint64_t CFuzzRandom::Next()
{
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string CFuzzRandom::Bytes(size_t count)
{
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(Next());
    return bytes;
}

uint64_t CaseSeed(uint64_t seed, const std::string& reader, uint64_t index)
{
    uint64_t hash = 1469598103934665603ull; // FNV-1a of the reader's name
    for (char c : reader)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    CFuzzRandom mix(seed ^ hash);
    mix.Next();
    return mix.Next() + index * 0x9E3779B97F4A7C15ull;
}

const std::vector<std::string>& LimitNumbers()
{
    static const std::vector<std::string> numbers = {
        "0", "-0", "-1", "255", "256", "65535", "65536", "2147483647", "2147483648", "-2147483648", "-2147483649",
        "4294967295", "4294967296", "9223372036854775807", "18446744073709551616",
        "99999999999999999999999999999999999999", "1e308", "1e309", "-1e309", "nan", "inf", "-inf", "1.#INF",
        "0x7fffffff", "1e-400", "00000000000000000000000000000000000000001"};
    return numbers;
}

std::string WideBytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::wstring TextOfWideBytes(const std::string& bytes)
{
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty())
        std::memcpy(&text[0], bytes.data(), text.size() * sizeof(wchar_t));
    return text;
}

std::string CMutator::Mutate(const std::string& shape, size_t maxRandom)
{
    if (m_random.Chance(10))
        return m_random.Bytes(m_random.Below(maxRandom + 1));
    using Step = std::string (CMutator::*)(std::string);
    static const Step steps[] = {&CMutator::Truncate,        &CMutator::RepeatSlice,   &CMutator::FlipBytes,
                                 &CMutator::DropTerminators, &CMutator::SwapEncoding,  &CMutator::Inflate,
                                 &CMutator::NestDeeply,      &CMutator::InsertFormatAndQuotes,
                                 &CMutator::NumbersAtLimits};
    std::string data = shape;
    const size_t count = 1 + m_random.Below(4);
    for (size_t i = 0; i < count; ++i)
        data = (this->*steps[m_random.Below(sizeof(steps) / sizeof(steps[0]))])(std::move(data));
    return data;
}

std::string CMutator::Truncate(std::string data)
{
    data.resize(m_random.Below(data.size() + 1));
    return data;
}

std::string CMutator::RepeatSlice(std::string data)
{
    if (data.empty())
        return data;
    const size_t start = m_random.Below(data.size());
    const std::string slice = data.substr(start, 1 + m_random.Below(64));
    std::string run;
    for (size_t i = 1 + m_random.Below(200); i > 0; --i)
        run += slice;
    data.insert(start, run);
    return data;
}

std::string CMutator::FlipBytes(std::string data)
{
    for (size_t i = 1 + m_random.Below(16); i > 0 && !data.empty(); --i)
        data[m_random.Below(data.size())] ^= static_cast<char>(1 << m_random.Below(8));
    return data;
}

std::string CMutator::DropTerminators(std::string data)
{
    const char terminator = kTerminators[m_random.Below(sizeof(kTerminators))];
    std::string kept;
    kept.reserve(data.size());
    for (char c : data)
        if (c != terminator)
            kept += c;
    return kept;
}

std::string CMutator::SwapEncoding(std::string data)
{
    switch (m_random.Below(4))
    {
    case 0: // narrow to UTF-16LE
    {
        std::string wide;
        for (char c : data)
            wide += std::string{c, '\0'};
        return wide;
    }
    case 1: // UTF-16LE (or anything) to narrow: every second byte
    {
        std::string narrow;
        for (size_t i = 0; i < data.size(); i += 2)
            narrow += data[i];
        return narrow;
    }
    case 2: // a byte-order mark of the other kind in front
        return m_random.Pick(std::vector<std::string>{"\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF"}) + data;
    default: // an odd byte in front: every UTF-16 unit shifts
        return std::string(1, static_cast<char>(m_random.Next())) + data;
    }
}

std::string CMutator::Inflate(std::string data)
{
    // A slice repeated to a length far past what any real input has.
    const size_t target = m_random.Pick(std::vector<size_t>{4096, 32767, 32768, 65536, 300000, 1100000});
    const std::string slice = data.empty() ? std::string("A") : data.substr(m_random.Below(data.size()), 1 + m_random.Below(8));
    std::string run;
    run.reserve(target + slice.size());
    while (run.size() < target)
        run += slice;
    data.insert(data.empty() ? 0 : m_random.Below(data.size()), run);
    return data;
}

std::string CMutator::NestDeeply(std::string data)
{
    static const std::vector<std::pair<std::string, std::string>> pairs = {
        {"<a>", "</a>"}, {"(", ")"}, {"<STRING Id=\"1\">", "</STRING>"}, {"{", "}"}, {"\"", "\""}, {"[", "]"}};
    const auto& pair = m_random.Pick(pairs);
    const size_t depth = m_random.Pick(std::vector<size_t>{64, 1000, 20000});
    const size_t at = m_random.Below(data.size() + 1);
    std::string open, close;
    for (size_t i = 0; i < depth; ++i)
    {
        open += pair.first;
        close += pair.second;
    }
    data.insert(at, open + (m_random.Chance(50) ? close : std::string()));
    return data;
}

std::string CMutator::InsertFormatAndQuotes(std::string data)
{
    static const std::vector<std::string> pieces = {"%s", "%n", "%d%d%d%d", "%ls%ls", "%%", "%", "\"", "'", "%1",
                                                    "\\", "%99999999d", "&amp;", "&#0;", "]]>", "<!--"};
    for (size_t i = 1 + m_random.Below(8); i > 0; --i)
        data.insert(m_random.Below(data.size() + 1), m_random.Pick(pieces));
    return data;
}

std::string CMutator::NumbersAtLimits(std::string data)
{
    // Replaces a run of digits (or adds a number where there is none).
    const size_t from = m_random.Below(data.size() + 1);
    size_t start = from;
    while (start < data.size() && !(data[start] >= '0' && data[start] <= '9'))
        ++start;
    size_t end = start;
    while (end < data.size() && data[end] >= '0' && data[end] <= '9')
        ++end;
    if (start == data.size())
        start = end = from;
    data.replace(start, end - start, m_random.Pick(LimitNumbers()));
    return data;
}
