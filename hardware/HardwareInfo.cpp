#include "hardware/HardwareInfo.h"

#include "engine/XmlWriting.h"
#include "hardware/DevicePresence.h"
#include "hardware/WmiQuery.h"
#include "hardware/WmiValues.h"
#include "base/Log.h"
#include "base/UiText.h"
#include "base/OSInfo.h"

namespace
{
// Win32_DiskDrive capability "Supports Removable Media".
const LONG kRemovableMediaCapability = 7;

bool ContainsRemovableMedia(SAFEARRAY* capabilities)
{
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(SafeArrayGetLBound(capabilities, 1, &lower)) || FAILED(SafeArrayGetUBound(capabilities, 1, &upper)))
        return false;
    for (LONG index = lower; index <= upper; ++index)
    {
        LONG capability = 0;
        if (SUCCEEDED(SafeArrayGetElement(capabilities, &index, &capability))
            && capability == kRemovableMediaCapability)
            return true;
    }
    return false;
}

void WriteTextElements(CXmlNode& parent, CXmlDocument& document, const wchar_t* name,
                       const std::vector<std::wstring>& texts)
{
    for (const std::wstring& text : texts)
        AppendTextElement(document, parent, name, text);
}

const wchar_t* BoolText(bool value)
{
    return value ? L"true" : L"false";
}

std::wstring CurrentOsCode()
{
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
        return std::wstring();
    return OsCodeFor(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion);
}
}

DiskDriveKind ClassifyDiskDrive(const VARIANT& model, const VARIANT& capabilities)
{
    if (HasNoValue(model) || HasNoValue(capabilities))
        return DiskDriveKind::NoValue;
    if (model.vt != VT_BSTR || capabilities.vt != (VT_ARRAY | VT_I4) || !capabilities.parray)
        return DiskDriveKind::Unreadable;
    return ContainsRemovableMedia(capabilities.parray) ? DiskDriveKind::Removable : DiskDriveKind::Fixed;
}

std::wstring OsCodeFor(DWORD platformId, DWORD majorVersion, DWORD minorVersion)
{
    if (platformId != VER_PLATFORM_WIN32_NT)
        return std::wstring();
    if (majorVersion == 6 && minorVersion == 0)
        return L"v";
    if (majorVersion == 6 && minorVersion == 1)
        return L"s";
    if (majorVersion <= 4 || (majorVersion == 5 && minorVersion <= 2))
        return L"x";
    return std::wstring();
}

CHardwareInfo::CHardwareInfo() : m_osCode(CurrentOsCode())
{
}

void CHardwareInfo::Run()
{
    m_cpuModels.clear();
    m_hddModels.clear();
    m_ramCardModels.clear();
    m_videoCardModels.clear();
    // The inventory has no progress target of its own: group 0.
    BeginRun(L"HARDWARE INFO TEST: begin test", 0);

    CWmiConnection wmi;
    if (!wmi.Connect({L"HARDWARE INFO TEST: failed to create IWbemLocator",
                      L"HARDWARE INFO TEST: failed connect to server",
                      L"HARDWARE INFO TEST: failed to set proxy blanket"}))
        return;

    QueryProcessors(wmi);
    NotifyProgress(33, MAKELPARAM(0, 0));
    if (Cancelled())
        return;

    QueryDiskDrives(wmi);
    NotifyProgress(66, MAKELPARAM(0, 0));
    if (Cancelled())
        return;

    QueryVideoControllers(wmi);
    NotifyProgress(100, MAKELPARAM(0, 0));
}

bool CHardwareInfo::Cancelled()
{
    if (!CheckCancel())
        return false;
    Log(L"HARDWARE INFO TEST: cancel test");
    return true;
}

void CHardwareInfo::QueryProcessors(CWmiConnection& wmi)
{
    wmi.ForEachObject(L"SELECT * FROM Win32_Processor",
                      L"HARDWARE INFO TEST: failed to execute query [SELECT * FROM Win32_Processor]",
                      [this](IWbemClassObject& processor) {
                          CVariant name;
                          GetWmiProperty(processor, L"Name", name);
                          AddProcessor(name.Get());
                      });
}

void CHardwareInfo::QueryDiskDrives(CWmiConnection& wmi)
{
    wmi.ForEachObject(L"SELECT * FROM Win32_DiskDrive",
                      L"HARDWARE INFO TEST: failed to execute query [SELECT * FROM Win32_DiskDrive]",
                      [this](IWbemClassObject& disk) {
                          CVariant model;
                          CVariant capabilities;
                          GetWmiProperty(disk, L"Model", model);
                          GetWmiProperty(disk, L"Capabilities", capabilities);
                          AddDiskDrive(model.Get(), capabilities.Get());
                      });
}

void CHardwareInfo::QueryVideoControllers(CWmiConnection& wmi)
{
    wmi.ForEachObject(L"SELECT * FROM Win32_VideoController",
                      L"HARDWARE INFO TEST: failed to execute query [SELECT * FROM Win32_VideoController]",
                      [this](IWbemClassObject& controller) {
                          CVariant name;
                          CVariant adapterRam;
                          GetWmiProperty(controller, L"Name", name);
                          GetWmiProperty(controller, L"AdapterRAM", adapterRam);
                          AddVideoController(name.Get(), adapterRam.Get());
                      });
}

void CHardwareInfo::AddProcessor(const VARIANT& name)
{
    if (name.vt != VT_BSTR)
    {
        LogError(L"HARDWARE INFO TEST: can not get CPU model", GetLastError());
        return;
    }
    m_cpuModels.push_back(VariantText(name));
}

void CHardwareInfo::AddDiskDrive(const VARIANT& model, const VARIANT& capabilities)
{
    switch (ClassifyDiskDrive(model, capabilities))
    {
    case DiskDriveKind::Fixed:
        m_hddModels.push_back(VariantText(model));
        break;
    case DiskDriveKind::Unreadable:
        LogError(L"HARDWARE INFO TEST: can not get HDD model", GetLastError());
        break;
    case DiskDriveKind::NoValue:
    case DiskDriveKind::Removable:
        break;
    }
}

void CHardwareInfo::AddVideoController(const VARIANT& name, const VARIANT& adapterRam)
{
    if (adapterRam.vt != VT_NULL)
        m_videoCardModels.insert(VariantText(name));
}

std::vector<std::wstring> CHardwareInfo::GetVideoCardModels() const
{
    return std::vector<std::wstring>(m_videoCardModels.begin(), m_videoCardModels.end());
}

void CHardwareInfo::AddRamCardModel(const std::wstring& model)
{
    m_ramCardModels.push_back(model);
}

bool CHardwareInfo::HasBattery() const
{
    return IsBatteryPresent();
}

bool CHardwareInfo::HasCdRom() const
{
    return IsBuiltInCdRomPresent();
}

void CHardwareInfo::WriteCpuModels(CXmlNode& parent, CXmlDocument& document) const
{
    WriteTextElements(parent, document, L"cpu_model", m_cpuModels);
}

void CHardwareInfo::WriteHddModels(CXmlNode& parent, CXmlDocument& document) const
{
    WriteTextElements(parent, document, L"hdd_model", m_hddModels);
}

void CHardwareInfo::WriteRamCardModels(CXmlNode& parent, CXmlDocument& document) const
{
    WriteTextElements(parent, document, L"ram_card_model", m_ramCardModels);
}

void CHardwareInfo::WriteVideoCardModels(CXmlNode& parent, CXmlDocument& document) const
{
    WriteTextElements(parent, document, L"video_card_model", GetVideoCardModels());
}

bool CHardwareInfo::Serialize(CXmlNode& parent, CXmlDocument& document)
{
    CXmlNode section;
    AppendElement(document, parent, L"instaled_hardware", section);
    WriteCpuModels(section, document);
    WriteHddModels(section, document);
    WriteRamCardModels(section, document);
    WriteVideoCardModels(section, document);
    AppendTextElement(document, section, L"battery", BoolText(HasBattery()));
    AppendTextElement(document, section, L"cd_rom", BoolText(HasCdRom()));
    AppendTextElement(document, section, L"version_os", Utils::Info::COSInfo().GetText());
    AppendTextElement(document, section, L"os", m_osCode);
    AppendTextElement(document, section, L"lang", GetUiLanguageCode());
    return true;
}
