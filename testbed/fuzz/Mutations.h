#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Deterministic pseudo-random numbers (splitmix64): the same seed gives the
// same cases with every compiler and runtime, so a case number replays.
class CFuzzRandom
{
public:
    explicit CFuzzRandom(uint64_t seed) : m_state(seed) {}

    uint64_t Next();
    // 0 .. bound - 1 (0 for a bound of 0).
    size_t Below(size_t bound) { return bound ? static_cast<size_t>(Next() % bound) : 0; }
    bool Chance(unsigned percent) { return Below(100) < percent; }
    std::string Bytes(size_t count);
    template <typename T> const T& Pick(const std::vector<T>& items) { return items[Below(items.size())]; }

private:
    uint64_t m_state;
};

// The seed of one case: the campaign's seed, the reader and the case number.
uint64_t CaseSeed(uint64_t seed, const std::string& reader, uint64_t index);

// Hostile variants of a well-formed input. Shapes are byte strings; text
// shapes in UTF-16LE are mutated as bytes too (which splits characters, as
// a damaged file would).
class CMutator
{
public:
    explicit CMutator(CFuzzRandom& random) : m_random(random) {}

    // One to four of the mutations below, or (one case in ten) random bytes
    // of a random length up to maxRandom.
    std::string Mutate(const std::string& shape, size_t maxRandom = 4096);

    std::string Truncate(std::string data);
    std::string RepeatSlice(std::string data);
    std::string FlipBytes(std::string data);
    std::string DropTerminators(std::string data);
    std::string SwapEncoding(std::string data);
    std::string Inflate(std::string data);
    std::string NestDeeply(std::string data);
    std::string InsertFormatAndQuotes(std::string data);
    std::string NumbersAtLimits(std::string data);

private:
    CFuzzRandom& m_random;
};

// Numbers at and past the limits of the types readers parse them into.
const std::vector<std::string>& LimitNumbers();

// ASCII or UTF-8 text as UTF-16LE bytes, and back (high bytes dropped).
std::string WideBytes(const std::wstring& text);
std::wstring TextOfWideBytes(const std::string& bytes);
