#pragma once
#include "hardware/WmiQuery.h"
#include "net/HardwareSource.h"

// Hardware objects read through the WMI query sequence the hardware tests
// share. Create, use and destroy it on one thread that has COM.
class CWmiSource : public IHardwareSource
{
public:
    // Connects to WMI; false (and logged) when the locator, the connection
    // or the proxy security cannot be set up.
    bool Connect();

    // Runs "SELECT * FROM <class>".
    bool ForEach(const wchar_t* className, const std::function<bool(IHardwareObject&)>& visit) override;

private:
    CWmiConnection m_connection;
};
