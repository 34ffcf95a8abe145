#include "Wnd.h"

#include "ThreadState.h"

#include <cstdio>
#include <unordered_map>
#include <utility>

PM_IMPLEMENT_RUNTIME_CLASS(CWnd, "CWnd", nullptr)

namespace {
// Windows belong to threads, so the handle map is per thread.
std::unordered_map<HWND, CWnd*>& PermanentMap() {
    static thread_local std::unordered_map<HWND, CWnd*> map;
    return map;
}

// The object whose window is being created on this thread; bound at its first message.
thread_local CWnd* t_pWndInit = nullptr;
} // namespace

CWnd::~CWnd() {
    if (m_bPermanent && m_hWnd)
        ::DestroyWindow(m_hWnd);
    if (m_bPermanent)
        UnbindPermanent();
    m_hWnd = nullptr;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    auto it = PermanentMap().find(hWnd);
    return it == PermanentMap().end() ? nullptr : it->second;
}

void CWnd::BindPermanent(HWND hWnd) {
    m_hWnd = hWnd;
    m_bPermanent = true;
    PermanentMap()[hWnd] = this;
}

void CWnd::UnbindPermanent() {
    if (m_hWnd)
        PermanentMap().erase(m_hWnd);
    m_hWnd = nullptr;
    m_bPermanent = false;
}

BOOL CWnd::Attach(HWND hWnd) {
    if (!hWnd || m_hWnd)
        return FALSE;
    m_hWnd = hWnd;
    return TRUE;
}

CString CWnd::GetWindowText() const {
    int length = ::GetWindowTextLengthA(m_hWnd);
    CString text(static_cast<size_t>(length) + 1, '\0');
    int got = ::GetWindowTextA(m_hWnd, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA& cs) {
    if (!cs.lpszClass)
        cs.lpszClass = RegisterWndClass(0);
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect,
                    HWND parent, UINT_PTR idOrMenu) {
    CREATESTRUCTA cs{};
    cs.dwExStyle = exStyle;
    cs.lpszClass = className;
    cs.lpszName = windowName;
    cs.style = static_cast<LONG>(style);
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.right - rect.left;
    cs.cy = rect.bottom - rect.top;
    cs.hwndParent = parent;
    cs.hMenu = reinterpret_cast<HMENU>(idOrMenu);
    cs.hInstance = AfxGetResourceHandle();
    if (!PreCreateWindow(cs)) {
        PostNcDestroy();
        return FALSE;
    }
    t_pWndInit = this;
    HWND hWnd =
        ::CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x, cs.y,
                          cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    bool neverBound = std::exchange(t_pWndInit, nullptr) == this;
    // Without a first message nothing cleaned up after us: do it as a destroyed window would.
    if (!hWnd && neverBound)
        PostNcDestroy();
    return hWnd != nullptr;
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd)
        return FALSE;
    HWND hWnd = m_hWnd;
    if (!m_bPermanent)
        m_hWnd = nullptr;
    return ::DestroyWindow(hWnd);
}

LRESULT CWnd::Default() {
    const MSG& msg = AfxGetThreadState()->m_lastSentMsg;
    return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CWnd::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (!pWnd && (pWnd = std::exchange(t_pWndInit, nullptr)) != nullptr)
        pWnd->BindPermanent(hWnd);
    if (!pWnd)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    LRESULT result;
    {
        CurrentMessageScope scope(hWnd, message, wParam, lParam);
        result = pWnd->WindowProc(message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        pWnd->UnbindPermanent();
        pWnd->PostNcDestroy();
    }
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    return OnWndMsg(message, wParam, lParam, &result) ? result : DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_INITMENUPOPUP)
        OnInitMenuPopup(reinterpret_cast<HMENU>(wParam)); // and on to default processing
    if (message != WM_COMMAND || !OnCommand(wParam, lParam))
        return FALSE;
    *pResult = 0;
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT id = LOWORD(wParam);
    if (lParam == 0) {
        CCmdUI state(id);
        OnCmdMsg(id, &state);
        if (state.m_bHandled && !state.m_bEnabled)
            return TRUE; // disabled: dropped silently
    }
    return OnCmdMsg(id, nullptr);
}

void CWnd::OnInitMenuPopup(HMENU popup) {
    int count = ::GetMenuItemCount(popup);
    for (int index = 0; index < count; ++index) {
        UINT id = ::GetMenuItemID(popup, index);
        if (id == 0 || id == static_cast<UINT>(-1))
            continue; // separator or submenu
        CCmdUI state(id, popup, static_cast<UINT>(index));
        OnCmdMsg(id, &state);
    }
}

const char* CWnd::RegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
    static thread_local char name[96];
    std::snprintf(name, sizeof name, "Pm:%x:%p:%p:%p", classStyle, static_cast<void*>(cursor),
                  static_cast<void*>(background), static_cast<void*>(icon));
    HINSTANCE instance = AfxGetResourceHandle();
    WNDCLASSA wc{classStyle, &CWnd::WndProc, 0, 0, instance, icon, cursor, background, nullptr, name},
        existing{};
    if (!::GetClassInfoA(instance, name, &existing))
        ::RegisterClassA(&wc);
    return name;
}
