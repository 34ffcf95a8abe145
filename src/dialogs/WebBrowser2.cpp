#include "WebBrowser2.h"

#include "framework/OleControlSite.h"

#include <new>

namespace {
// {8856F961-340A-11D0-A96B-00C04FD705A2}
const CLSID kClsidWebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
constexpr DISPID kDispidNavigate = 104;

BSTR AnsiToBstr(const char* text) {
    if (!text)
        return nullptr;
    std::wstring wide = AfxWiden(text);
    if (wide.empty() && *text)
        return nullptr; // not convertible: nothing rather than a wrong address
    return ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}
} // namespace

PM_IMPLEMENT_RUNTIME_CLASS(CWebBrowser2, "CWebBrowser2", &CWebBrowser2::CreateObject)

CWebBrowser2::CWebBrowser2() {
    COleControlSite::RegisterHostClass(kClsidWebBrowser);
}

CObject* CWebBrowser2::CreateObject() {
    return new (std::nothrow) CWebBrowser2;
}

BOOL CWebBrowser2::Create(LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    if (m_hWnd)
        return FALSE;
    HWND host = COleControlSite::CreateHostWindow(kClsidWebBrowser, windowName, style, rect,
                                                  parent ? parent->m_hWnd : nullptr, id);
    return host ? Attach(host) : FALSE;
}

void CWebBrowser2::Navigate(LPCSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                            VARIANT* headers) {
    COleControlSite* site = COleControlSite::FromHostWindow(m_hWnd);
    if (!site)
        return;
    // Last to first: the four optional variants by reference, then the address as a BSTR.
    VARIANTARG args[5];
    VARIANT* optional[] = {headers, postData, targetFrameName, flags};
    for (int i = 0; i < 4; ++i) {
        ::VariantInit(&args[i]);
        args[i].vt = VT_VARIANT | VT_BYREF;
        args[i].pvarVal = optional[i];
    }
    ::VariantInit(&args[4]);
    args[4].vt = VT_BSTR;
    args[4].bstrVal = AnsiToBstr(url);
    if (!url || args[4].bstrVal)
        site->InvokeHelper(kDispidNavigate, args, 5);
    ::VariantClear(&args[4]);
}
