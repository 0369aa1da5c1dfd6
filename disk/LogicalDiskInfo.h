#pragma once
#include <windows.h>
#include <string>

#include "engine/ISerializeData.h"

// One measured drive of the hard-disk test.
class LogicalDiskInfo : public ISerializeData
{
public:
    LogicalDiskInfo() = default;
    LogicalDiskInfo(std::wstring literal, ULONGLONG totalBytes, ULONGLONG freeBytes, double fragmentation);

    // Appends one "logical_disk" element with the drive's figures.
    bool Serialize(CXmlNode& parent, CXmlDocument& document) const override;

    // What the drive could score: size in GB times transfer rate.
    double GetMaxScoreTerm() const;
    // The same, reduced by the drive's fill level and fragmentation. A
    // drive whose size is unknown (0) scores 0.
    double GetScoreTerm() const;

    std::wstring literal;       // drive letter without colon
    ULONGLONG totalBytes = 0;
    ULONGLONG freeBytes = 0;
    double fragmentation = 0;   // percent
    double transferRate = 0;    // MB per second
};
