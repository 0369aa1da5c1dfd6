#pragma once
#include <windows.h>
#include <oleauto.h>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "engine/ISerializeData.h"
#include "engine/TesterImpl.h"

// One video adapter of the video test.
class VideoCardInfo : public ISerializeData
{
public:
    VideoCardInfo() = default;
    VideoCardInfo(std::wstring name, int capacity) : name(std::move(name)), capacity(capacity) {}

    // A "video_card" element with "card_model" and "card_capacity".
    bool Serialize(CXmlNode& parent, CXmlDocument& document) const override;

    std::wstring name;
    // Adapter memory in MB.
    int capacity = 0;
};

// Adapter memory in MB (0 to 4095) from WMI's "AdapterRAM" byte count,
// truncated toward zero. The count is an unsigned 32-bit number even where
// it arrives as VT_I4, so 3221225472 bytes give 3072 MB, not a negative size.
int AdapterRamMegabytes(const VARIANT& adapterRam);

// Adapter memory in MB from the display driver's 64-bit byte count, at
// most the largest int.
int DriverMemoryMegabytes(ULONGLONG bytes);

// The video test: four points per MB of adapter memory, summed over the
// distinct adapter names WMI reports.
class CVideoTester : public CTesterImpl<CVideoTester>
{
public:
    void Run() override;
    double GetScore() override;
    double GetMaxScore() override;
    // Writes the "video_test" section; false at the first element that
    // cannot be written.
    bool Serialize(CXmlNode& parent, CXmlDocument& document) override;

    // What the enumeration makes of one Win32_VideoController object, with
    // the size its display driver records, if any, which wins over
    // "AdapterRAM". An adapter without a memory size is skipped; one whose
    // name is already known replaces the earlier one.
    void AddController(const VARIANT& name, const VARIANT& adapterRam, const VARIANT& deviceId,
                       std::optional<ULONGLONG> driverMemory = std::nullopt);

    // Keyed and ordered by adapter name.
    const std::map<std::wstring, VideoCardInfo>& GetAdapters() const { return m_adapters; }

private:
    void EnumerateAdapters();
    double TotalPoints() const;

    std::map<std::wstring, VideoCardInfo> m_adapters;
};
