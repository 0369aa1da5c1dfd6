#include "hardware/VideoTester.h"

#include <climits>

#include "base/ComSupport.h"
#include "hardware/DisplayDriverMemory.h"
#include "engine/XmlWriting.h"
#include "hardware/WmiQuery.h"
#include "hardware/WmiValues.h"
#include "base/Log.h"
#include "base/StringFormat.h"

namespace
{
const WORD kVideoGroup = 4;
const double kPointsPerMegabyte = 4;
const LONGLONG kBytesPerMegabyte = 1048576;
}

bool VideoCardInfo::Serialize(CXmlNode& parent, CXmlDocument& document) const
{
    CXmlNode card;
    return AppendElement(document, parent, L"video_card", card)
        && AppendTextElement(document, card, L"card_model", name)
        && AppendTextElement(document, card, L"card_capacity", FormatText(L"%d", capacity));
}

int AdapterRamMegabytes(const VARIANT& adapterRam)
{
    // WMI hands the unsigned count over as VT_I4; a wider or textual value
    // is cut down to the same 32 bits.
    VARIANT wide;
    VariantInit(&wide);
    if (FAILED(VariantChangeTypeEx(&wide, const_cast<VARIANT*>(&adapterRam), LOCALE_INVARIANT, 0, VT_I8)))
        return 0;
    const UINT32 bytes = static_cast<UINT32>(wide.llVal);
    return static_cast<int>(bytes / kBytesPerMegabyte);
}

int DriverMemoryMegabytes(ULONGLONG bytes)
{
    const ULONGLONG megabytes = bytes / kBytesPerMegabyte;
    return megabytes > INT_MAX ? INT_MAX : static_cast<int>(megabytes);
}

void CVideoTester::Run()
{
    m_adapters.clear();
    BeginRun(L"VIDEO TEST: begin test", kVideoGroup);
    {
        // Runs on a pool worker, which has no COM of its own.
        CComApartment apartment;
        EnumerateAdapters();
    }
    NotifyProgress(100, MAKELPARAM(0, kVideoGroup));
    Log(L"VIDEO TEST: end test");
}

void CVideoTester::EnumerateAdapters()
{
    CWmiConnection wmi;
    if (!wmi.Connect({L"VIDEO TEST: cannot create instance of IWbemLocator", L"VIDEO TEST: cannot connect to server",
                      L"VIDEO TEST: cannot set proxy blanket"}))
        return;
    wmi.ForEachObject(L"SELECT * FROM Win32_VideoController",
                      L"VIDEO TEST: cannot exec query(SELECT * FROM Win32_VideoController)",
                      [this](IWbemClassObject& controller) {
                          CVariant name;
                          CVariant adapterRam;
                          CVariant deviceId;
                          CVariant pnpDeviceId;
                          GetWmiProperty(controller, L"Name", name);
                          GetWmiProperty(controller, L"AdapterRAM", adapterRam);
                          GetWmiProperty(controller, L"DeviceID", deviceId);
                          GetWmiProperty(controller, L"PNPDeviceID", pnpDeviceId);
                          AddController(name.Get(), adapterRam.Get(), deviceId.Get(),
                                        DisplayDriverMemorySize(VariantText(pnpDeviceId.Get())));
                      });
}

void CVideoTester::AddController(const VARIANT& name, const VARIANT& adapterRam, const VARIANT& deviceId,
                                 std::optional<ULONGLONG> driverMemory)
{
    if (adapterRam.vt == VT_NULL && !driverMemory)
        return;
    VideoCardInfo card(VariantText(name),
                       driverMemory ? DriverMemoryMegabytes(*driverMemory) : AdapterRamMegabytes(adapterRam));
    m_adapters[card.name] = card;
    Log(FormatText(L"VIDEO TEST: founded video card manufacturer=%ls, capacity=%d, id=%ls",
                            card.name.c_str(), card.capacity, VariantText(deviceId).c_str()));
}

double CVideoTester::TotalPoints() const
{
    double megabytes = 0;
    for (const auto& adapter : m_adapters)
        megabytes += adapter.second.capacity;
    return megabytes * kPointsPerMegabyte;
}

double CVideoTester::GetScore()
{
    if (m_score == 0)
        m_score = TotalPoints();
    return m_score;
}

double CVideoTester::GetMaxScore()
{
    if (m_maxScore == 0)
        m_maxScore = TotalPoints();
    return m_maxScore;
}

bool CVideoTester::Serialize(CXmlNode& parent, CXmlDocument& document)
{
    // The score as last computed: 0 when nobody asked for it since the run.
    CXmlNode section;
    if (!AppendElement(document, parent, L"video_test", section)
        || !AppendTextElement(document, section, L"scores", FormatText(L"%f", m_score)))
        return false;
    for (const auto& adapter : m_adapters)
        if (!adapter.second.Serialize(section, document))
            return false;
    return true;
}
