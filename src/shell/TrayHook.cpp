#include "TrayHook.h"

#include "TrayIcon.h"

LRESULT CTrayHook::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_pOwner)
        return CSubclassWnd::HandleMessage(message, wParam, lParam);
    const NOTIFYICONDATAA& data = m_pOwner->m_iconData;
    // Only the notification window gets the callback message; the broadcast goes to top-level windows.
    bool iconMessage = message == data.uCallbackMessage && m_hHookedWnd == data.hWnd;
    if (!iconMessage && message != g_uTaskbarCreatedMsg)
        return CSubclassWnd::HandleMessage(message, wParam, lParam);

    // Both handlers dispatch messages (menu loop, queue draining); one of those may delete the icon and
    // this hook with it. The window must get the message all the same.
    CTrayIcon::LifeGuard guard(*m_pOwner);
    HWND window = m_hHookedWnd;
    WNDPROC ownProc = m_pfnPrevProc;
    if (iconMessage)
        m_pOwner->OnIconMessage(wParam, lParam);
    else
        m_pOwner->OnTaskbarRestart(wParam, lParam);
    if (guard.Alive())
        return CSubclassWnd::HandleMessage(message, wParam, lParam);
    return ::IsWindow(window) ? ::CallWindowProcA(ownProc, window, message, wParam, lParam) : 0;
}
