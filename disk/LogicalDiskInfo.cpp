#include "disk/LogicalDiskInfo.h"

#include "engine/XmlWriting.h"
#include "base/StringFormat.h"

namespace
{
constexpr double kBytesPerGB = 1073741824.0;
}

LogicalDiskInfo::LogicalDiskInfo(std::wstring literal, ULONGLONG totalBytes, ULONGLONG freeBytes,
                                 double fragmentation)
    : literal(std::move(literal)), totalBytes(totalBytes), freeBytes(freeBytes), fragmentation(fragmentation)
{
}

bool LogicalDiskInfo::Serialize(CXmlNode& parent, CXmlDocument& document) const
{
    CXmlNode disk;
    return AppendElement(document, parent, L"logical_disk", disk) &&
           AppendTextElement(document, disk, L"literal", literal) &&
           AppendTextElement(document, disk, L"capacity", FormatText(L"%f", totalBytes / kBytesPerGB)) &&
           AppendTextElement(document, disk, L"free_space", FormatText(L"%f", freeBytes / kBytesPerGB)) &&
           AppendTextElement(document, disk, L"fragmentation_percent", FormatText(L"%f", fragmentation)) &&
           AppendTextElement(document, disk, L"read_write_speed", FormatText(L"%f", transferRate));
}

double LogicalDiskInfo::GetMaxScoreTerm() const
{
    return totalBytes / kBytesPerGB * transferRate;
}

double LogicalDiskInfo::GetScoreTerm() const
{
    // A failed size query leaves 0 bytes: without the guard the fill level
    // would be 0/0 and poison the whole score.
    if (totalBytes == 0)
        return 0;
    double used = static_cast<double>(totalBytes - freeBytes) / totalBytes;
    return (1 - used) * (1 - fragmentation / 100) * GetMaxScoreTerm();
}
