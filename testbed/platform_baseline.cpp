// The memory baseline of the benchmark driver: loads the platform parts the
// main program uses (COM with its security settings, GDI+, the common
// controls, WMI), runs the WMI queries of the hardware inventory, the
// memory test and the video test, reading the same properties, then shows
// a window and keeps everything loaded until it is closed. Its peak working
// set is what those parts cost without the program's own work.
#include <windows.h>
#include <commctrl.h>
#include <wbemidl.h>

#include "engine/ComSupport.h"
#include "shell/gui/GdiPlus.h"
#include "testbed/BaselineWindow.h"

namespace
{
struct BaselineQuery
{
    const wchar_t* query;
    const wchar_t* properties[3];
};

// In the order a run makes them: the inventory's three, then the memory
// test's and the video test's.
const BaselineQuery kQueries[] = {
    {L"SELECT * FROM Win32_Processor", {L"Name"}},
    {L"SELECT * FROM Win32_DiskDrive", {L"Model", L"Capabilities"}},
    {L"SELECT * FROM Win32_VideoController", {L"Name", L"AdapterRAM"}},
    {L"SELECT * FROM Win32_PhysicalMemory", {L"Capacity", L"Speed"}},
    {L"SELECT * FROM Win32_VideoController", {L"Name", L"AdapterRAM", L"DeviceID"}},
};

CComPointer<IWbemServices> ConnectWmi()
{
    CComPointer<IWbemLocator> locator;
    CComPointer<IWbemServices> services;
    CBstr nameSpace(L"ROOT\\CIMV2");
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                reinterpret_cast<void**>(locator.Receive())))
        || FAILED(locator->ConnectServer(nameSpace.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                         services.Receive()))
        || FAILED(CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                    RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE)))
        return CComPointer<IWbemServices>();
    return services;
}

void RunQuery(IWbemServices& services, const BaselineQuery& query)
{
    CBstr language(L"WQL");
    CBstr text(query.query);
    CComPointer<IEnumWbemClassObject> objects;
    if (FAILED(services.ExecQuery(language.Get(), text.Get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                  nullptr, objects.Receive())))
        return;
    for (;;)
    {
        CComPointer<IWbemClassObject> object;
        ULONG returned = 0;
        objects->Next(WBEM_INFINITE, 1, object.Receive(), &returned);
        if (returned == 0 || !object)
            return;
        for (const wchar_t* property : query.properties)
        {
            CVariant value;
            if (property)
                object->Get(property, 0, value.Receive(), nullptr, nullptr);
        }
    }
}
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    CComApartment apartment(COINIT_APARTMENTTHREADED);
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
                         nullptr, EOAC_NONE, nullptr);
    const INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartupInput gdiplusInput;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

    int exitCode;
    {
        CComPointer<IWbemServices> services = ConnectWmi();
        for (const BaselineQuery& query : kQueries)
            if (services)
                RunQuery(*services.Get(), query);
        exitCode = RunBaselineWindow(instance);
    }
    Gdiplus::GdiplusShutdown(gdiplusToken);
    return exitCode;
}
