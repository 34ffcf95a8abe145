// Hosts one ActiveX control in a child window: client site and in-place site of the control. The host
// window's class is named after the control's class id ("{...}"), so a dialog template places it as an
// ordinary control; the window creates the control (without persisted state) and closes it on destruction.
#pragma once

#include "Afx.h"
#include "ComPtr.h"

#include <ocidl.h>
#include <ole2.h>

class COleControlSite final : public IOleClientSite, public IOleInPlaceSite {
  public:
    // Registers, once per class id, the host window class for that control.
    static BOOL RegisterHostClass(REFCLSID clsid);
    // Creates a host window, and the control in it, as a child of parent; null on failure.
    static HWND CreateHostWindow(REFCLSID clsid, LPCSTR windowName, DWORD style, const RECT& rect,
                                 HWND parent, UINT id);
    // The site of a host window, or null for any other window.
    static COleControlSite* FromHostWindow(HWND host);

    // The control's automation interface (borrowed, not add-ref'd); null when it has none.
    IDispatch* GetDispatch() const { return m_pDispatch.Get(); }
    // Calls method dispid with count arguments, last to first as automation takes them; no result.
    HRESULT InvokeHelper(DISPID dispid, VARIANTARG* args, UINT count);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override;
    // IOleClientSite: the control lives in a window, not in a document.
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** ppmk) override { return Put(ppmk, nullptr, E_NOTIMPL); }
    STDMETHODIMP GetContainer(IOleContainer** pp) override { return Put(pp, nullptr, E_NOINTERFACE); }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* phwnd) override { return phwnd ? Put(phwnd, m_hWndHost, S_OK) : E_POINTER; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                                  LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO lpFrameInfo) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT lprcPosRect) override;

    // Fills an out pointer unless the caller passed none, and answers hr.
    template <class T, class V> static HRESULT Put(T* out, V value, HRESULT hr) {
        if (out)
            *out = value;
        return hr;
    }

  private:
    explicit COleControlSite(HWND host) : m_hWndHost(host) {}
    ~COleControlSite() = default;

    HRESULT CreateControl(REFCLSID clsid);
    void DestroyControl();

    static LRESULT CALLBACK HostWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    LONG m_refs = 1;
    HWND m_hWndHost;
    CComPtr<IOleObject> m_pObject;
    CComPtr<IOleInPlaceObject> m_pInPlaceObject;
    CComPtr<IDispatch> m_pDispatch;
};
