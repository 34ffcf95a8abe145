#include "HookMap.h"

#include "SubclassWnd.h"
#include "framework/ThreadState.h"

namespace {
WNDPROC SwapWindowProc(HWND hWnd, WNDPROC proc) {
    return reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}
} // namespace

HookMap& GetHookMap() {
    static HookMap map;
    return map;
}

void HookMap::AddHook(HWND hWnd, CSubclassWnd* hook) {
    hook->m_pNextHook = FirstHook(hWnd);
    m_heads[hWnd] = hook;
    if (hook->m_pNextHook)
        hook->m_pfnPrevProc = hook->m_pNextHook->m_pfnPrevProc;
    else
        hook->m_pfnPrevProc = SwapWindowProc(hWnd, &SharedHookProc);
}

void HookMap::RemoveHook(CSubclassWnd* hook) {
    HWND hWnd = hook->m_hHookedWnd;
    CSubclassWnd* head = FirstHook(hWnd);
    if (!head)
        return;
    if (head == hook) {
        if (hook->m_pNextHook) {
            m_heads[hWnd] = hook->m_pNextHook;
        } else {
            m_heads.erase(hWnd);
            SwapWindowProc(hWnd, hook->m_pfnPrevProc);
        }
        return;
    }
    for (CSubclassWnd* p = head; p; p = p->m_pNextHook) {
        if (p->m_pNextHook == hook) {
            p->m_pNextHook = hook->m_pNextHook;
            return;
        }
    }
}

void HookMap::RemoveAllHooks(HWND hWnd) {
    while (CSubclassWnd* hook = FirstHook(hWnd))
        hook->SetHookedWindow(nullptr);
}

CSubclassWnd* HookMap::FirstHook(HWND hWnd) const {
    auto it = m_heads.find(hWnd);
    return it == m_heads.end() ? nullptr : it->second;
}

LRESULT CALLBACK SharedHookProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    CurrentMessageScope scope(hWnd, message, wParam, lParam);
    HookMap& map = GetHookMap();
    CSubclassWnd* head = map.FirstHook(hWnd);
    if (!head) // a later subclasser still calls us after the chain has ended
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The hooks go first so that the window's own clean-up finds none of them attached.
        WNDPROC ownProc = head->m_pfnPrevProc;
        map.RemoveAllHooks(hWnd);
        return ::CallWindowProcA(ownProc, hWnd, message, wParam, lParam);
    }
    return head->HandleMessage(message, wParam, lParam);
}
