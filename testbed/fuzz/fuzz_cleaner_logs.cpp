// Hostile registry-cleaner logs: a folder of generated "*.log" files read
// by the system test's check of whether the cleaner has just repaired this
// computer. An input is a list of files, each a one-byte name length, the
// name, a four-byte content length and the content.
#include <windows.h>

#include <cstring>
#include <iterator>
#include <map>
#include <vector>

#include "regscan/CleanerLog.h"
#include "testbed/fuzz/FuzzCampaign.h"

namespace
{
struct LogFile
{
    std::string name;
    std::string content;
};

std::wstring ScratchFolder()
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"fuzz_cleaner_logs\\";
}

std::string Serialize(const std::vector<LogFile>& files)
{
    std::string bytes;
    for (const LogFile& file : files)
    {
        const uint32_t length = static_cast<uint32_t>(file.content.size());
        bytes += static_cast<char>(file.name.size());
        bytes += file.name;
        bytes.append(reinterpret_cast<const char*>(&length), sizeof(length));
        bytes += file.content;
    }
    return bytes;
}

// Whatever the bytes say, within the input: a damaged replay reads as the
// files it still describes.
std::vector<LogFile> Deserialize(const std::string& bytes)
{
    std::vector<LogFile> files;
    size_t at = 0;
    while (at < bytes.size())
    {
        LogFile file;
        const size_t nameLength = static_cast<unsigned char>(bytes[at++]);
        file.name = bytes.substr(at, nameLength);
        at += file.name.size();
        uint32_t length = 0;
        if (at + sizeof(length) <= bytes.size())
            std::memcpy(&length, &bytes[at], sizeof(length));
        at += sizeof(length);
        if (at < bytes.size())
            file.content = bytes.substr(at, length);
        at += file.content.size();
        files.push_back(file);
    }
    return files;
}

// A file name the file system takes: the characters it refuses become "_".
std::wstring FileName(const std::string& name)
{
    std::wstring wide;
    for (char c : name)
        wide += (static_cast<unsigned char>(c) < 32 || std::strchr("\\/:*?\"<>|", c)) ? L'_' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide.empty() ? L"_" : wide;
}

std::string Generate(CFuzzRandom& random)
{
    CMutator mutator(random);
    const std::wstring log = L"2026-12-07 10:00:00 Invalid Entry Found: HKLM\\Software\\Classes\\.xyz\r\n"
                             L"2026-12-07 10:00:05 Successfully Fixed: HKLM\\Software\\Classes\\.xyz\r\n";
    std::vector<LogFile> files;
    for (size_t count = 1 + random.Below(4); count > 0; --count)
    {
        LogFile file;
        file.name = mutator.NumbersAtLimits("log_" + std::to_string(random.Below(13)) + "-" +
                                            std::to_string(random.Below(32)) + "-" + std::to_string(2000 + random.Below(30)));
        if (random.Chance(30))
            file.name = mutator.Mutate(file.name, 40);
        file.name = file.name.substr(0, 200) + ".log";
        file.content = mutator.Mutate(WideBytes(log), 8192);
        files.push_back(file);
    }
    return Serialize(files);
}

FuzzOutcome Check(const std::string& input)
{
    const std::wstring folder = ScratchFolder();
    CreateDirectoryW(folder.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
            DeleteFileW((folder + found.cFileName).c_str());
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    // Names that come out alike after the file system's rules: the last wins.
    std::map<std::wstring, std::string> written;
    for (const LogFile& file : Deserialize(input))
        written[FileName(file.name)] = file.content;
    // A name too long for a path is no file: it is left out.
    for (auto file = written.begin(); file != written.end();)
        file = WriteFileBytes(folder + file->first, file->second) ? std::next(file) : written.erase(file);
    CleanerLogsShowRepair(folder);
    // The logs are the cleaner's: reading them changes none.
    for (const auto& file : written)
    {
        std::string after;
        if (!ReadFileBytes(folder + file.first, after) || after != file.second)
            return FuzzOutcome::Fail("a log changed on a read");
    }
    return FuzzOutcome();
}
}

int wmain(int argc, wchar_t** argv)
{
    return RunFuzzProgram(argc, argv, {{"cleaner_logs", Generate, Check, 5000}});
}
