#include "NavigationSpy.h"

#include <ole2.h>

namespace pmtest {

namespace {
// {8856F961-340A-11D0-A96B-00C04FD705A2}
const CLSID kClsidWebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
constexpr DISPID kDispidNavigate = 104;
constexpr int kInvokeSlot = 6; // IUnknown's three, GetTypeInfoCount, GetTypeInfo, GetIDsOfNames, Invoke

using InvokeFunction = HRESULT(STDMETHODCALLTYPE*)(IDispatch*, DISPID, REFIID, LCID, WORD, DISPPARAMS*,
                                                   VARIANT*, EXCEPINFO*, UINT*);
InvokeFunction g_invoke = nullptr;
NavigationRecord g_record;

std::string Ansi(BSTR text) {
    int length = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (!text || length <= 1)
        return std::string();
    std::string result(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, &result[0], length, nullptr, nullptr);
    result.resize(static_cast<size_t>(length - 1));
    return result;
}

HRESULT STDMETHODCALLTYPE RecordingInvoke(IDispatch* self, DISPID member, REFIID iid, LCID locale, WORD flags,
                                          DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                          UINT* argError) {
    HRESULT answer = g_invoke(self, member, iid, locale, flags, params, result, exception, argError);
    if (member == kDispidNavigate) {
        // The address is the first argument, which automation passes last.
        const VARIANTARG* url = params && params->cArgs ? &params->rgvarg[params->cArgs - 1] : nullptr;
        ++g_record.count;
        g_record.url = url && url->vt == VT_BSTR ? Ansi(url->bstrVal) : std::string();
        g_record.result = answer;
    }
    return answer;
}
} // namespace

bool WatchNavigation() {
    if (g_invoke)
        return true;
    IDispatch* browser = nullptr;
    if (FAILED(::CoCreateInstance(kClsidWebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&browser))))
        return false;
    // Every control of the class shares this table: its Invoke now passes through RecordingInvoke.
    void** slots = *reinterpret_cast<void***>(browser);
    HMODULE owner = nullptr;
    DWORD protection = 0;
    // The control's module stays loaded from now on, so that the table is never mapped afresh.
    if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, static_cast<LPCSTR>(slots[kInvokeSlot]),
                             &owner) &&
        ::VirtualProtect(&slots[kInvokeSlot], sizeof(void*), PAGE_READWRITE, &protection)) {
        g_invoke = reinterpret_cast<InvokeFunction>(slots[kInvokeSlot]);
        slots[kInvokeSlot] = reinterpret_cast<void*>(&RecordingInvoke);
        ::VirtualProtect(&slots[kInvokeSlot], sizeof(void*), protection, &protection);
    }
    browser->Release();
    return g_invoke != nullptr;
}

const NavigationRecord& LastNavigation() {
    return g_record;
}

} // namespace pmtest
