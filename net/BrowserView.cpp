#include "net/BrowserView.h"

namespace
{
const wchar_t kViewClass[] = L"TessarinBrowserView";
}

// The container side of the control: one object with one reference count
// for every interface the control asks its site for.
class CWTLBrowserView::CSite : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame
{
public:
    explicit CSite(HWND window) : m_window(window) {}

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IOleClientSite)
            *object = static_cast<IOleClientSite*>(this);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
            *object = static_cast<IOleInPlaceSite*>(this);
        else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
            *object = static_cast<IOleInPlaceFrame*>(this);
        else
        {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_references); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG references = InterlockedDecrement(&m_references);
        if (references == 0)
            delete this;
        return references;
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** container) override
    {
        *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (of the site and of the frame)
    STDMETHODIMP GetWindow(HWND* window) override
    {
        *window = m_window;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                  RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) override
    {
        *frame = this;
        AddRef();
        *document = nullptr;
        GetClientRect(m_window, position);
        GetClientRect(m_window, clip);
        frameInfo->fMDIApp = FALSE;
        frameInfo->hwndFrame = GetParent(m_window);
        frameInfo->haccel = nullptr;
        frameInfo->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return S_OK; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow and IOleInPlaceFrame: no menus, toolbars or
    // status bar to share.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    virtual ~CSite() = default;

    LONG m_references = 1;
    HWND m_window;
};

bool CWTLBrowserView::Create(HWND parent, int controlId, const RECT& rect, const std::wstring& url)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kViewClass;
    RegisterClassW(&windowClass); // fails harmlessly once registered
    m_window = CreateWindowExW(0, kViewClass, url.c_str(),
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_HSCROLL | WS_VSCROLL,
                               rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), windowClass.hInstance,
                               nullptr);
    if (!m_window)
        return false;
    CreateBrowser(url);
    return true;
}

void CWTLBrowserView::CreateBrowser(const std::wstring& url)
{
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(m_browser.Receive()))))
        return;
    m_site = new CSite(m_window);
    RECT client;
    GetClientRect(m_window, &client);
    m_browser->SetClientSite(m_site);
    m_browser->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_site, 0, m_window, &client);
    CComPointer<IWebBrowser2> browser;
    if (SUCCEEDED(m_browser->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(browser.Receive()))))
    {
        try
        {
            CVariant address(url);
            browser->Navigate2(const_cast<VARIANT*>(&address.Get()), nullptr, nullptr, nullptr, nullptr);
        }
        catch (const CComError&)
        {
            // No memory for the address: the page stays blank.
        }
    }
}

void CWTLBrowserView::Resize(const RECT& rect)
{
    if (!m_window)
        return;
    MoveWindow(m_window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    CComPointer<IOleInPlaceObject> inPlace;
    if (m_browser &&
        SUCCEEDED(m_browser->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(inPlace.Receive()))))
    {
        RECT client;
        GetClientRect(m_window, &client);
        inPlace->SetObjectRects(&client, &client);
    }
}

void CWTLBrowserView::Destroy()
{
    if (m_browser)
    {
        m_browser->Close(OLECLOSE_NOSAVE);
        m_browser->SetClientSite(nullptr);
        m_browser.Reset();
    }
    if (m_site)
        m_site->Release();
    m_site = nullptr;
    if (m_window && IsWindow(m_window))
        DestroyWindow(m_window);
    m_window = nullptr;
}
