#pragma once
#include <windows.h>
#include <wbemidl.h>
#include <functional>
#include <string>

#include "base/ComSupport.h"

// What a caller logs when one step of connecting to WMI fails.
struct WmiConnectTexts
{
    std::wstring createLocator;
    std::wstring connectServer;
    std::wstring setProxyBlanket;
};

// The WMI query sequence the hardware tests share: connect to ROOT\CIMV2,
// then run WQL queries over the connection. COM must be initialised on the
// calling thread. A failing step writes one error line with the caller's
// text and GetLastError() (the HRESULT is not logged), and nothing after it
// runs. Nothing is thrown.
class CWmiConnection
{
public:
    // Creates the locator, connects and sets the proxy blanket.
    bool Connect(const WmiConnectTexts& texts);

    // Runs a query on the connection and hands every object it returns to
    // onObject, in the order WMI returns them. False, after logging
    // failureText, when the query cannot be executed.
    bool ForEachObject(const std::wstring& query, const std::wstring& failureText,
                       const std::function<void(IWbemClassObject&)>& onObject);

private:
    CComPointer<IWbemServices> m_services;
};

// Reads one property. A property WMI cannot give leaves the value empty
// (VT_EMPTY), the same as a property that has no value.
void GetWmiProperty(IWbemClassObject& object, const wchar_t* name, CVariant& value);
