#pragma once
#include <windows.h>
#include <oleauto.h>
#include <string>
#include <utility>
#include <vector>

#include "engine/ISerializeData.h"
#include "engine/TesterImpl.h"

class CHardwareInfo;
class CSMBusHost;

// One memory module of the memory test.
class RamCardInfo : public ISerializeData
{
public:
    RamCardInfo() = default;
    RamCardInfo(int capacity, int frequency, std::wstring model)
        : capacity(capacity), frequency(frequency), model(std::move(model))
    {
    }

    // A "ram_card" element with "card_capacity", "card_friquency" and
    // "card_model"; always true.
    bool Serialize(CXmlNode& parent, CXmlDocument& document) const override;

    // MB; 0 until WMI supplies it.
    int capacity = 0;
    // MHz: the SPD clock, or half the WMI speed for a module only WMI knows.
    int frequency = 0;
    // The SPD manufacturer id "bank:code"; empty for a module only WMI knows.
    std::wstring model;
};

// Module size in MB from Win32_PhysicalMemory's "Capacity", a decimal byte
// count in a string; 0 for a value that is no text.
int ModuleCapacityMegabytes(const VARIANT& capacity);

// Sum over the modules of capacity times frequency / 400: the product taken
// as an unsigned 32-bit number (it wraps, as it always has) and divided
// without remainder.
double SumOfModuleTerms(const std::vector<RamCardInfo>& modules);

// Folds the Win32_PhysicalMemory objects into the modules the SPD phase
// found: WMI supplies the capacities in enumeration order, and the list
// ends up no longer than the number of objects. When SPD found nothing,
// every object becomes a module of its own.
class CWmiModuleMerge
{
public:
    explicit CWmiModuleMerge(std::vector<RamCardInfo>& modules);

    // One object; a speed without a value is logged and taken as 800.
    void Add(const VARIANT& capacity, const VARIANT& speed);
    // After the last object: drops the modules WMI did not report.
    void Finish();

private:
    std::vector<RamCardInfo>& m_modules;
    bool m_spdFoundNone;
    size_t m_cursor = 0;
    size_t m_objectCount = 0;
};

// The memory test: the modules from their SPD EEPROMs and from WMI, the
// physical memory load sampled once a pause for 30 pauses, and a score of
// capacity times clock summed over the modules, reduced by the load.
class CMemoryTester : public CTesterImpl<CMemoryTester>
{
public:
    // The module ids also go into the inventory's memory module list.
    explicit CMemoryTester(CHardwareInfo& inventory, DWORD samplePauseMs = 1000);

    void Run() override;
    double GetScore() override;
    double GetMaxScore() override;
    // Writes the "memory_test" section; always true.
    bool Serialize(CXmlNode& parent, CXmlDocument& document) override;

    const std::vector<RamCardInfo>& GetModules() const { return m_modules; }
    // Average physical memory load in percent over the last complete run.
    double GetMemoryConsumed() const { return m_memoryConsumed; }

private:
    // Slots 0 to 9 over the SMBus, ten passes of one module each at most;
    // false when the test was cancelled between two slots.
    bool FindSpdModules();
    // The module in one slot, added when its SPD reads.
    bool AddSpdModule(unsigned slot, CSMBusHost& host);
    void MergeWmiModules();

    CHardwareInfo& m_inventory;
    DWORD m_samplePauseMs;
    std::vector<RamCardInfo> m_modules;
    double m_memoryConsumed = 0;
};
