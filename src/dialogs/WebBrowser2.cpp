#include "WebBrowser2.h"

#include "framework/OleControlSite.h"

#include <new>

namespace {
// {8856F961-340A-11D0-A96B-00C04FD705A2}
const CLSID kClsidWebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
constexpr DISPID kDispidNavigate = 104;
// One string, then four variants passed by reference.
const BYTE kNavigateParams[] = {COleControlSite::kVtAnsiString, COleControlSite::kVtVariantRef,
                                COleControlSite::kVtVariantRef, COleControlSite::kVtVariantRef,
                                COleControlSite::kVtVariantRef, 0};

CWebBrowser2::NavigationRecord& Record() {
    static thread_local CWebBrowser2::NavigationRecord record;
    return record;
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
    NavigationRecord& record = Record();
    ++record.count;
    record.url = url ? url : "";
    COleControlSite* site = COleControlSite::FromHostWindow(m_hWnd);
    record.result = site ? site->InvokeHelper(kDispidNavigate, DISPATCH_METHOD, kNavigateParams, url, flags,
                                              targetFrameName, postData, headers)
                         : E_NOINTERFACE;
}

const CWebBrowser2::NavigationRecord& CWebBrowser2::LastNavigation() {
    return Record();
}
