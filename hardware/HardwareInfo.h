#pragma once
#include <windows.h>
#include <oleauto.h>
#include <set>
#include <string>
#include <vector>

#include "engine/TesterImpl.h"

class CWmiConnection;

// What one Win32_DiskDrive object is to the inventory.
enum class DiskDriveKind
{
    NoValue,    // "Model" or "Capabilities" has no value: skipped silently
    Fixed,      // listed
    Removable,  // a capability is 7 (removable media): not listed
    Unreadable  // values of unexpected types: logged, not listed
};
DiskDriveKind ClassifyDiskDrive(const VARIANT& model, const VARIANT& capabilities);

// The one-letter Windows family code sent with web requests: "x" for
// Windows XP, Server 2003 and older NT, "v" for Vista, "s" for 7, empty for
// anything else, later versions included.
std::wstring OsCodeFor(DWORD platformId, DWORD majorVersion, DWORD minorVersion);

// The hardware inventory of a run: processor names, fixed-disk models and
// video adapter names from WMI, the memory module texts the memory test
// adds, battery and CD-ROM presence and the Windows family code. The run
// controller runs it first, on its COM-initialised run thread; it scores 0.
class CHardwareInfo : public CTesterImpl<CHardwareInfo>
{
public:
    CHardwareInfo();

    void Run() override;
    double GetScore() override { return 0; }
    double GetMaxScore() override { return 0; }
    // Writes the "instaled_hardware" section; always true.
    bool Serialize(CXmlNode& parent, CXmlDocument& document) override;

    // One element per list entry, in list order.
    void WriteCpuModels(CXmlNode& parent, CXmlDocument& document) const;
    void WriteHddModels(CXmlNode& parent, CXmlDocument& document) const;
    void WriteRamCardModels(CXmlNode& parent, CXmlDocument& document) const;
    void WriteVideoCardModels(CXmlNode& parent, CXmlDocument& document) const;

    // Called by the memory test during the same run, after this one's Run.
    void AddRamCardModel(const std::wstring& model);

    // Asked anew at every call.
    bool HasBattery() const;
    bool HasNoBattery() const { return !HasBattery(); }
    bool HasCdRom() const;
    std::wstring GetOsCode() const { return m_osCode; }

    // What the queries make of one WMI object each.
    // Every processor object adds its name, duplicates included.
    void AddProcessor(const VARIANT& name);
    void AddDiskDrive(const VARIANT& model, const VARIANT& capabilities);
    // Adapters without a memory size are left out; each name counts once.
    void AddVideoController(const VARIANT& name, const VARIANT& adapterRam);

    const std::vector<std::wstring>& GetCpuModels() const { return m_cpuModels; }
    const std::vector<std::wstring>& GetHddModels() const { return m_hddModels; }
    // In ascending order.
    std::vector<std::wstring> GetVideoCardModels() const;

private:
    void QueryProcessors(CWmiConnection& wmi);
    void QueryDiskDrives(CWmiConnection& wmi);
    void QueryVideoControllers(CWmiConnection& wmi);
    // Logs the cancel line when the run was cancelled.
    bool Cancelled();

    std::vector<std::wstring> m_cpuModels;
    std::vector<std::wstring> m_hddModels;
    std::set<std::wstring> m_videoCardModels;
    std::vector<std::wstring> m_ramCardModels;
    std::wstring m_osCode;
};
