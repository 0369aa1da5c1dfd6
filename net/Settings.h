#pragma once
#include <windows.h>

#include <string>

// The user's results-page address, kept in the hidden file "user_url" of the
// application data folder as UTF-16LE text with one terminating NUL. Loaded
// when constructed, written back when destroyed if this object changed it:
// another instance may have saved a newer address meanwhile.
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
    // Replaces the address in memory; a different address reaches the file on
    // destruction.
    void SetUrl(const std::wstring& url);

    const std::wstring& GetFilePath() const { return m_filePath; }

private:
    void Load();
    void Save() const;

    std::wstring m_filePath;
    std::wstring m_url;
    bool m_changed = false;
};

// The address stored in an open "user_url" file: its UTF-16 text up to the
// first NUL, read from the start and cut at CSettings::kMaxUrlLength. A
// damaged file (odd length, no NUL, empty, huge) gives what can be read
// within that bound; a failed read gives the empty text.
std::wstring ReadStoredUrl(HANDLE file);
