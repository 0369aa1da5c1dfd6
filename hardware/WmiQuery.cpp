#include "hardware/WmiQuery.h"

#include "base/Log.h"

namespace
{
bool Succeeded(HRESULT result, const std::wstring& failureText)
{
    if (SUCCEEDED(result))
        return true;
    LogError(failureText, GetLastError());
    return false;
}
}

bool CWmiConnection::Connect(const WmiConnectTexts& texts)
{
    m_services.Reset();
    CComPointer<IWbemLocator> locator;
    if (!Succeeded(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                    reinterpret_cast<void**>(locator.Receive())),
                   texts.createLocator))
        return false;

    CComPointer<IWbemServices> services;
    CBstr nameSpace(L"ROOT\\CIMV2");
    if (!Succeeded(locator->ConnectServer(nameSpace.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                          services.Receive()),
                   texts.connectServer))
        return false;

    if (!Succeeded(CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                     RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
                   texts.setProxyBlanket))
        return false;

    m_services = services;
    return true;
}

bool CWmiConnection::ForEachObject(const std::wstring& query, const std::wstring& failureText,
                                   const std::function<void(IWbemClassObject&)>& onObject)
{
    CComPointer<IEnumWbemClassObject> objects;
    CBstr language(L"WQL");
    CBstr queryText(query);
    const HRESULT result = m_services
        ? m_services->ExecQuery(language.Get(), queryText.Get(),
                                WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, objects.Receive())
        : E_POINTER;
    if (!Succeeded(result, failureText))
        return false;

    for (;;)
    {
        CComPointer<IWbemClassObject> object;
        ULONG returned = 0;
        objects->Next(WBEM_INFINITE, 1, object.Receive(), &returned);
        if (returned == 0 || !object)
            return true;
        onObject(*object.Get());
    }
}

void GetWmiProperty(IWbemClassObject& object, const wchar_t* name, CVariant& value)
{
    if (FAILED(object.Get(name, 0, value.Receive(), nullptr, nullptr)))
        value.Receive(); // clears whatever the failed call left behind
}
