#include "hardware/MemoryTester.h"

#include <numeric>
#include <stdexcept>

#include "engine/ComSupport.h"
#include "engine/XmlWriting.h"
#include "hardware/HardwareInfo.h"
#include "hardware/SPD.h"
#include "hardware/WmiQuery.h"
#include "hardware/WmiValues.h"
#include "shell/Module.h"
#include "shell/StringFormat.h"

namespace
{
const WORD kMemoryGroup = 3;
const unsigned kSlotCount = 10;
const int kLoadSamples = 30;
const int kPercentPerSample = 3;
// Data rate assumed for a module whose speed WMI does not know.
const int kUnknownSpeed = 800;
const double kBytesPerMegabyte = 1048576.0;

double MemoryLoadPercent()
{
    MEMORYSTATUS status = {};
    status.dwLength = sizeof(status);
    GlobalMemoryStatus(&status);
    return status.dwMemoryLoad;
}

// Win32_PhysicalMemory's "Speed" in MHz (data rate), or the assumed value
// when WMI has none.
int ModuleSpeed(const VARIANT& speed)
{
    CVariant number;
    if (!HasNoValue(speed) && SUCCEEDED(VariantCopy(number.Receive(), const_cast<VARIANT*>(&speed)))
        && number.ChangeType(VT_I4))
        return number.Get().lVal;
    g_module.LogError(L"MEMORY TEST: memory speed is unknown", GetLastError());
    return kUnknownSpeed;
}
}

bool RamCardInfo::Serialize(CXmlNode& parent, CXmlDocument& document) const
{
    CXmlNode card;
    AppendElement(document, parent, L"ram_card", card)
        && AppendTextElement(document, card, L"card_capacity", FormatText(L"%d", capacity))
        && AppendTextElement(document, card, L"card_friquency", FormatText(L"%d", frequency))
        && AppendTextElement(document, card, L"card_model", model);
    return true;
}

int ModuleCapacityMegabytes(const VARIANT& capacity)
{
    if (capacity.vt != VT_BSTR || !capacity.bstrVal)
        return 0;
    const LONGLONG bytes = _wcstoi64(capacity.bstrVal, nullptr, 10);
    return static_cast<int>(bytes / kBytesPerMegabyte);
}

CWmiModuleMerge::CWmiModuleMerge(std::vector<RamCardInfo>& modules)
    : m_modules(modules), m_spdFoundNone(modules.empty())
{
}

void CWmiModuleMerge::Add(const VARIANT& capacity, const VARIANT& speed)
{
    ++m_objectCount;
    const int megabytes = ModuleCapacityMegabytes(capacity);
    const int dataRate = ModuleSpeed(speed);
    if (m_spdFoundNone)
    {
        m_modules.emplace_back(megabytes, dataRate / 2, std::wstring());
        return;
    }
    if (m_cursor == m_modules.size())
        return;
    RamCardInfo& module = m_modules[m_cursor++];
    module.capacity = megabytes;
    if (module.frequency == 0)
        module.frequency = dataRate;
}

void CWmiModuleMerge::Finish()
{
    if (m_modules.size() > m_objectCount)
        m_modules.resize(m_objectCount);
}

CMemoryTester::CMemoryTester(CHardwareInfo& inventory, DWORD samplePauseMs)
    : m_inventory(inventory), m_samplePauseMs(samplePauseMs)
{
}

void CMemoryTester::Run()
{
    g_module.Log(L"MEMORY TEST: begin test");
    ResetCancel();
    m_score = 0;
    m_maxScore = 0;
    m_memoryConsumed = 0;
    m_modules.clear();
    NotifyProgress(0, MAKELPARAM(0, kMemoryGroup));

    std::vector<double> samples{MemoryLoadPercent()};
    if (!FindSpdModules())
    {
        g_module.Log(L"MEMORY TEST: cancel test");
        return;
    }
    {
        // Runs on a pool worker, which has no COM of its own.
        CComApartment apartment;
        MergeWmiModules();
    }
    samples.push_back(MemoryLoadPercent());

    for (int sample = 1; sample <= kLoadSamples; ++sample)
    {
        Sleep(m_samplePauseMs);
        if (CheckCancel())
        {
            g_module.Log(L"MEMORY TEST: cancel test");
            return;
        }
        samples.push_back(MemoryLoadPercent());
        NotifyProgress(sample * kPercentPerSample, MAKELPARAM(0, kMemoryGroup));
    }
    m_memoryConsumed = std::accumulate(samples.begin(), samples.end(), 0.0) / samples.size();

    NotifyProgress(100, MAKELPARAM(0, kMemoryGroup));
    g_module.Log(L"MEMORY TEST: end test");
}

bool CMemoryTester::FindSpdModules()
{
    // One controller search for all slot attempts: a machine without one
    // would otherwise walk the whole PCI bus a hundred times.
    CSMBusHost host;
    // Each pass goes on above the module the last one found; slots above
    // the last module are tried again in every remaining pass.
    unsigned startSlot = 0;
    for (unsigned pass = 0; pass < kSlotCount; ++pass)
    {
        for (unsigned slot = startSlot; slot < kSlotCount; ++slot)
        {
            if (CheckCancel())
                return false;
            if (AddSpdModule(slot, host))
            {
                startSlot = slot + 1;
                break;
            }
        }
    }
    return true;
}

bool CMemoryTester::AddSpdModule(unsigned slot, CSMBusHost& host)
{
    try
    {
        CSPD spd(slot, &host);
        g_module.Log(L"MEMORY TEST: SPD was read.");
        BYTE bank = 0;
        BYTE code = 0;
        spd.GetManufacturer(bank, code);
        g_module.Log(L"MEMORY TEST: Manufacturer was read.");
        const RamCardInfo module(0, spd.GetFrequency(), FormatText(L"%i:%i", bank, code));
        m_modules.push_back(module);
        g_module.Log(L"MEMORY TEST: Added information to RamCardInfo.");
        m_inventory.AddRamCardModel(module.model);
        g_module.Log(FormatText(L"MEMORY TEST: found a card id=%d, frequency=%d", slot, module.frequency));
        return true;
    }
    catch (const std::runtime_error&)
    {
        // No driver, no controller, an empty slot or an unreadable EEPROM:
        // nothing to log, the next slot is tried.
        return false;
    }
}

void CMemoryTester::MergeWmiModules()
{
    g_module.Log(L"MEMORY TEST: try run WMI ");
    CWmiConnection wmi;
    if (!wmi.Connect({L"MEMORY TEST: cannot to create instance of IWbemLocator",
                      L"MEMORY TEST: cannot connect to server", L"MEMORY TEST: cannot set proxy blanket"}))
        return;
    CWmiModuleMerge merge(m_modules);
    if (!wmi.ForEachObject(L"SELECT * FROM Win32_PhysicalMemory",
                           L"MEMORY TEST: cannot exec query(SELECT * FROM Win32_PhysicalMemory)",
                           [&merge](IWbemClassObject& module) {
                               CVariant capacity;
                               CVariant speed;
                               GetWmiProperty(module, L"Capacity", capacity);
                               GetWmiProperty(module, L"Speed", speed);
                               merge.Add(capacity.Get(), speed.Get());
                           }))
        return;
    merge.Finish();
}

double SumOfModuleTerms(const std::vector<RamCardInfo>& modules)
{
    double sum = 0;
    for (const RamCardInfo& module : modules)
        sum += static_cast<UINT32>(static_cast<UINT32>(module.capacity) * static_cast<UINT32>(module.frequency)) / 400u;
    return sum;
}

double CMemoryTester::GetMaxScore()
{
    if (m_maxScore == 0)
        m_maxScore = 10 * SumOfModuleTerms(m_modules);
    return m_maxScore;
}

double CMemoryTester::GetScore()
{
    if (m_score == 0)
        m_score = 10 * SumOfModuleTerms(m_modules) * (1 - m_memoryConsumed / 100);
    return m_score;
}

bool CMemoryTester::Serialize(CXmlNode& parent, CXmlDocument& document)
{
    CXmlNode section;
    CXmlNode cards;
    if (AppendElement(document, parent, L"memory_test", section)
        && AppendTextElement(document, section, L"scores", FormatText(L"%f", GetScore()))
        && AppendTextElement(document, section, L"mem_consumed", FormatText(L"%f", m_memoryConsumed))
        && AppendElement(document, section, L"ram_cards", cards))
    {
        for (const RamCardInfo& module : m_modules)
            module.Serialize(cards, document);
    }
    return true;
}
