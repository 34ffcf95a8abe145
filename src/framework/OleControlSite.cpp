#include "OleControlSite.h"

#include <new>

namespace {
constexpr int kSiteSlot = 0; // window extra bytes of the host class hold the site

// The frame side of in-place activation: the control sees our top-level window through it, with no
// tool space, no merged menus, no active object and no accelerators of ours.
class CInPlaceFrame final : public IOleInPlaceFrame {
  public:
    explicit CInPlaceFrame(HWND frame) : m_hWndFrame(frame) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        bool ours = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) ||
                    IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame);
        if (!ppv)
            return E_POINTER;
        *ppv = ours ? this : nullptr;
        return ours ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return refs;
    }
    STDMETHODIMP GetWindow(HWND* phwnd) override {
        return !phwnd ? E_POINTER : (*phwnd = m_hWndFrame) ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
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
    ~CInPlaceFrame() = default;
    LONG m_refs = 1;
    HWND m_hWndFrame;
};

// "{XXXXXXXX-...}" as the window class name of the host for clsid.
CString HostClassName(REFCLSID clsid) {
    wchar_t wide[64] = L"";
    char name[64] = "";
    if (::StringFromGUID2(clsid, wide, 64) != 0)
        ::WideCharToMultiByte(CP_ACP, 0, wide, -1, name, sizeof name, nullptr, nullptr);
    return name;
}

bool ClassIdOfHost(HWND host, CLSID& clsid) {
    char name[64] = "";
    wchar_t wide[64] = L"";
    return ::GetClassNameA(host, name, sizeof name) != 0 &&
           ::MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 64) && SUCCEEDED(::CLSIDFromString(wide, &clsid));
}
} // namespace

BOOL COleControlSite::RegisterHostClass(REFCLSID clsid) {
    CString name = HostClassName(clsid);
    HINSTANCE instance = AfxGetResourceHandle();
    WNDCLASSA wc{};
    if (name.empty() || ::GetClassInfoA(instance, name.c_str(), &wc))
        return !name.empty();
    wc.lpfnWndProc = &COleControlSite::HostWndProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = name.c_str();
    return ::RegisterClassA(&wc) != 0;
}

HWND COleControlSite::CreateHostWindow(REFCLSID clsid, LPCSTR windowName, DWORD style, const RECT& rect,
                                       HWND parent, UINT id) {
    if (!RegisterHostClass(clsid))
        return nullptr;
    return ::CreateWindowExA(0, HostClassName(clsid).c_str(), windowName, style | WS_CHILD, rect.left,
                             rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), AfxGetResourceHandle(),
                             nullptr);
}

COleControlSite* COleControlSite::FromHostWindow(HWND host) {
    if (!host || !::IsWindow(host) ||
        reinterpret_cast<WNDPROC>(::GetClassLongPtrA(host, GCLP_WNDPROC)) != &COleControlSite::HostWndProc)
        return nullptr;
    return reinterpret_cast<COleControlSite*>(::GetWindowLongPtrA(host, kSiteSlot));
}

LRESULT CALLBACK COleControlSite::HostWndProc(HWND hWnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) noexcept {
    COleControlSite* site = message == WM_CREATE ? nullptr : FromHostWindow(hWnd);
    switch (message) {
    case WM_CREATE: {
        CLSID clsid{};
        if (!ClassIdOfHost(hWnd, clsid) || !(site = new (std::nothrow) COleControlSite(hWnd)))
            return -1;
        ::SetWindowLongPtrA(hWnd, kSiteSlot, reinterpret_cast<LONG_PTR>(site));
        // A control that cannot be created fails its window, and with it a dialog that places it;
        // WM_DESTROY then releases the site.
        return SUCCEEDED(site->CreateControl(clsid)) ? 0 : -1;
    }
    case WM_SIZE: {
        RECT rect{};
        ::GetClientRect(hWnd, &rect);
        if (site)
            site->OnPosRectChange(&rect);
        return 0;
    }
    case WM_DESTROY:
        if (site) {
            ::SetWindowLongPtrA(hWnd, kSiteSlot, 0);
            site->DestroyControl();
            site->Release();
        }
        return 0;
    default:
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    }
}

HRESULT COleControlSite::CreateControl(REFCLSID clsid) {
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                    IID_IOleObject, m_pObject.Receive());
    if (FAILED(hr))
        return hr;
    DWORD misc = 0;
    m_pObject->GetMiscStatus(DVASPECT_CONTENT, &misc);
    bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst && FAILED(hr = m_pObject->SetClientSite(this)))
        return hr;
    // No persisted state: the control starts from its own defaults.
    CComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(m_pObject->QueryInterface(IID_IPersistStreamInit, persist.Receive())) &&
        FAILED(hr = persist->InitNew()) && hr != E_NOTIMPL)
        return hr;
    if (!siteFirst && FAILED(hr = m_pObject->SetClientSite(this)))
        return hr;
    RECT rect{};
    ::GetClientRect(m_hWndHost, &rect);
    if (FAILED(hr = m_pObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, m_hWndHost, &rect)))
        return hr;
    m_pObject->QueryInterface(IID_IOleInPlaceObject, m_pInPlaceObject.Receive());
    m_pObject->QueryInterface(IID_IDispatch, m_pDispatch.Receive());
    return S_OK;
}

void COleControlSite::DestroyControl() {
    if (m_pInPlaceObject)
        m_pInPlaceObject->InPlaceDeactivate();
    if (m_pObject) {
        m_pObject->Close(OLECLOSE_NOSAVE);
        m_pObject->SetClientSite(nullptr);
    }
    m_pDispatch.Reset();
    m_pInPlaceObject.Reset();
    m_pObject.Reset();
}

HRESULT COleControlSite::InvokeHelper(DISPID dispid, VARIANTARG* args, UINT count) {
    if (!m_pDispatch)
        return E_NOINTERFACE;
    DISPPARAMS params{args, nullptr, count, 0};
    UINT argError = 0;
    // No exception record asked for, so none is left to free.
    return m_pDispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                               nullptr, &argError);
}

STDMETHODIMP COleControlSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else
        return Put(ppv, nullptr, E_NOINTERFACE);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) COleControlSite::Release() {
    LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return refs;
}

STDMETHODIMP COleControlSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                               LPRECT lprcPosRect, LPRECT lprcClipRect,
                                               LPOLEINPLACEFRAMEINFO lpFrameInfo) {
    if (!ppFrame || !ppDoc || !lprcPosRect || !lprcClipRect || !lpFrameInfo)
        return E_POINTER;
    HWND top = ::GetAncestor(m_hWndHost, GA_ROOT);
    *ppFrame = new (std::nothrow) CInPlaceFrame(top);
    *ppDoc = nullptr;
    if (!*ppFrame)
        return E_OUTOFMEMORY;
    ::GetClientRect(m_hWndHost, lprcPosRect);
    *lprcClipRect = *lprcPosRect;
    *lpFrameInfo = {lpFrameInfo->cb, FALSE, top, nullptr, 0};
    return S_OK;
}

STDMETHODIMP COleControlSite::OnPosRectChange(LPCRECT lprcPosRect) {
    if (m_pInPlaceObject && lprcPosRect)
        m_pInPlaceObject->SetObjectRects(lprcPosRect, lprcPosRect);
    return S_OK;
}
