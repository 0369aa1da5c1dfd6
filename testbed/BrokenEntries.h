#pragma once

// Broken registry entries for the benchmarks that measure the registry
// scans on a large registry: five kinds, a fifth of the count each (file
// references and help files under keys of their own, classes with a
// missing server, classes whose open command names a missing program, and
// application paths to missing programs). The registry view is that of the
// calling process.
void PlantBrokenEntries(int count);
// Removes what PlantBrokenEntries(count) made; harmless when nothing is there.
void RemoveBrokenEntries(int count);

// Plants the entries for its lifetime, removing any left from an earlier
// run that was stopped before it could clean up.
class CPlantedBrokenEntries
{
public:
    explicit CPlantedBrokenEntries(int count) : m_count(count)
    {
        RemoveBrokenEntries(m_count);
        PlantBrokenEntries(m_count);
    }
    ~CPlantedBrokenEntries() { RemoveBrokenEntries(m_count); }
    CPlantedBrokenEntries(const CPlantedBrokenEntries&) = delete;
    CPlantedBrokenEntries& operator=(const CPlantedBrokenEntries&) = delete;

private:
    int m_count;
};
