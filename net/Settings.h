#pragma once
#include <string>

// The user's results-page address, kept in the hidden file "user_url" of the
// application data folder as UTF-16LE text with one terminating NUL. Loaded
// when constructed, written back when destroyed.
class CSettings
{
public:
    // Addresses are cut at this length: a stored file may be damaged or huge.
    static const size_t kMaxUrlLength = 2083;

    // The file "user_url" in the application data folder.
    CSettings();
    explicit CSettings(std::wstring filePath);
    virtual ~CSettings();

    CSettings(const CSettings&) = delete;
    CSettings& operator=(const CSettings&) = delete;

    const std::wstring& GetUrl() const { return m_url; }
    // Replaces the address in memory; it reaches the file on destruction.
    void SetUrl(const std::wstring& url);

    const std::wstring& GetFilePath() const { return m_filePath; }

private:
    void Load();
    void Save() const;

    std::wstring m_filePath;
    std::wstring m_url;
};
