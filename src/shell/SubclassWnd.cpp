#include "SubclassWnd.h"

#include "HookMap.h"

PM_IMPLEMENT_RUNTIME_CLASS(CSubclassWnd, "CSubclassWnd", nullptr)

CSubclassWnd::~CSubclassWnd() {
    SetHookedWindow(nullptr);
}

BOOL CSubclassWnd::SetHookedWindow(HWND hWnd) {
    if (m_hHookedWnd) {
        // Also before a new attach: a hook linked into two chains would corrupt both.
        GetHookMap().RemoveHook(this);
        m_pfnPrevProc = nullptr;
        m_hHookedWnd = nullptr;
    }
    if (hWnd) {
        GetHookMap().AddHook(hWnd, this);
        m_hHookedWnd = hWnd;
    }
    return TRUE;
}

LRESULT CSubclassWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pNextHook)
        return m_pNextHook->HandleMessage(message, wParam, lParam);
    return ::CallWindowProcA(m_pfnPrevProc, m_hHookedWnd, message, wParam, lParam);
}
