#include "OleControlSite.h"

#include "OleInPlaceFrame.h"

#include <new>

namespace {
constexpr int kSiteSlot = 0; // window extra bytes of the host class hold the site

// "{XXXXXXXX-...}" as the window class name of the host for clsid.
CString HostClassName(REFCLSID clsid) {
    wchar_t wide[64] = L"";
    if (::StringFromGUID2(clsid, wide, 64) == 0)
        return CString();
    char name[64] = "";
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, name, sizeof name, nullptr, nullptr);
    return name;
}

bool ClassIdOfHost(HWND host, CLSID& clsid) {
    char name[64] = "";
    wchar_t wide[64] = L"";
    if (::GetClassNameA(host, name, sizeof name) == 0 ||
        ::MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 64) == 0)
        return false;
    return SUCCEEDED(::CLSIDFromString(wide, &clsid));
}
} // namespace

BOOL COleControlSite::RegisterHostClass(REFCLSID clsid) {
    CString name = HostClassName(clsid);
    if (name.empty())
        return FALSE;
    HINSTANCE instance = AfxGetResourceHandle();
    WNDCLASSA wc{};
    if (::GetClassInfoA(instance, name.c_str(), &wc))
        return TRUE;
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
    CString name = HostClassName(clsid);
    return ::CreateWindowExA(0, name.c_str(), windowName, style | WS_CHILD, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), AfxGetResourceHandle(),
                             nullptr);
}

COleControlSite* COleControlSite::FromHostWindow(HWND host) {
    if (!host || !::IsWindow(host))
        return nullptr;
    WNDPROC proc = reinterpret_cast<WNDPROC>(::GetClassLongPtrA(host, GCLP_WNDPROC));
    if (proc != &COleControlSite::HostWndProc)
        return nullptr;
    return reinterpret_cast<COleControlSite*>(::GetWindowLongPtrA(host, kSiteSlot));
}

LRESULT CALLBACK COleControlSite::HostWndProc(HWND hWnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) noexcept {
    switch (message) {
    case WM_CREATE: {
        CLSID clsid{};
        if (!ClassIdOfHost(hWnd, clsid))
            return -1;
        auto* site = new (std::nothrow) COleControlSite(hWnd);
        if (!site)
            return -1;
        ::SetWindowLongPtrA(hWnd, kSiteSlot, reinterpret_cast<LONG_PTR>(site));
        // A control that cannot be created fails its window, and with it a dialog that places it;
        // WM_DESTROY then releases the site.
        return SUCCEEDED(site->CreateControl(clsid)) ? 0 : -1;
    }
    case WM_SIZE:
        if (COleControlSite* site = FromHostWindow(hWnd))
            site->FitToHost();
        return 0;
    case WM_DESTROY:
        if (COleControlSite* site = FromHostWindow(hWnd)) {
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
    if (SUCCEEDED(m_pObject->QueryInterface(IID_IPersistStreamInit, persist.Receive()))) {
        hr = persist->InitNew();
        if (FAILED(hr) && hr != E_NOTIMPL)
            return hr;
    }
    if (!siteFirst && FAILED(hr = m_pObject->SetClientSite(this)))
        return hr;
    RECT rect{};
    ::GetClientRect(m_hWndHost, &rect);
    hr = m_pObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, m_hWndHost, &rect);
    if (FAILED(hr))
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

void COleControlSite::FitToHost() {
    if (!m_pInPlaceObject)
        return;
    RECT rect{};
    ::GetClientRect(m_hWndHost, &rect);
    m_pInPlaceObject->SetObjectRects(&rect, &rect);
}

HRESULT COleControlSite::InvokeHelper(DISPID dispid, VARIANTARG* args, UINT count) {
    if (!m_pDispatch)
        return E_NOINTERFACE;
    DISPPARAMS params{args, nullptr, count, 0};
    EXCEPINFO exception{};
    UINT argError = 0;
    HRESULT hr = m_pDispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                                     &exception, &argError);
    if (hr == DISP_E_EXCEPTION) {
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrHelpFile);
    }
    return hr;
}

STDMETHODIMP COleControlSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) {
        *ppv = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite)) {
        *ppv = static_cast<IOleInPlaceSite*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) COleControlSite::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

STDMETHODIMP_(ULONG) COleControlSite::Release() {
    LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP COleControlSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    if (ppmk)
        *ppmk = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::GetContainer(IOleContainer** ppContainer) {
    if (ppContainer)
        *ppContainer = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP COleControlSite::GetWindow(HWND* phwnd) {
    if (!phwnd)
        return E_POINTER;
    *phwnd = m_hWndHost;
    return S_OK;
}

STDMETHODIMP COleControlSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                               LPRECT lprcPosRect, LPRECT lprcClipRect,
                                               LPOLEINPLACEFRAMEINFO lpFrameInfo) {
    if (!ppFrame || !ppDoc || !lprcPosRect || !lprcClipRect || !lpFrameInfo)
        return E_POINTER;
    HWND top = ::GetAncestor(m_hWndHost, GA_ROOT);
    *ppFrame = new (std::nothrow) COleInPlaceFrame(top);
    *ppDoc = nullptr;
    if (!*ppFrame)
        return E_OUTOFMEMORY;
    ::GetClientRect(m_hWndHost, lprcPosRect);
    *lprcClipRect = *lprcPosRect;
    lpFrameInfo->fMDIApp = FALSE;
    lpFrameInfo->hwndFrame = top;
    lpFrameInfo->haccel = nullptr;
    lpFrameInfo->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP COleControlSite::OnPosRectChange(LPCRECT lprcPosRect) {
    if (m_pInPlaceObject && lprcPosRect)
        m_pInPlaceObject->SetObjectRects(lprcPosRect, lprcPosRect);
    return S_OK;
}
