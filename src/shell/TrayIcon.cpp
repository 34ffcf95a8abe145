#include "TrayIcon.h"
#include "framework/MessagePump.h"

#include "framework/Handles.h"
#include "system/AnsiText.h"

#include <cstddef>
#include <cstring>

PM_IMPLEMENT_RUNTIME_CLASS(CTrayIcon, "CTrayIcon", nullptr)

// The shell reads only the first cbSize bytes: the second version of the record, which ends with
// dwInfoFlags. It is 488 bytes in the 32-bit build.
static_assert(offsetof(NOTIFYICONDATAA, dwInfoFlags) + sizeof(DWORD) == NOTIFYICONDATAA_V2_SIZE,
              "the second version ends with dwInfoFlags");
#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V2_SIZE == 488, "the shell's 488-byte record");
#endif

namespace {
// A busy shell refuses now and then; it gets this many calls in all.
constexpr int kShellCalls = 51;

// At most 127 bytes and the terminator, without splitting a character: the system's own stepping
// through characters knows double-byte ones but not UTF-8.
void CopyTip(char (&tip)[128], const char* text) {
    const CString fitted = FitText(text, sizeof tip - 1);
    std::memcpy(tip, fitted.c_str(), fitted.size() + 1);
}

// The window reached through parents of child windows and owners of owned ones.
HWND TopLevelParent(HWND hWnd) {
    for (;;) {
        HWND up = (::GetWindowLongPtrA(hWnd, GWL_STYLE) & WS_CHILD) ? ::GetParent(hWnd)
                                                                    : ::GetWindow(hWnd, GW_OWNER);
        if (!up)
            return hWnd;
        hWnd = up;
    }
}
} // namespace

CTrayIcon::CTrayIcon(UINT id) : m_iconData() {
    m_iconData.cbSize = NOTIFYICONDATAA_V2_SIZE;
    m_iconData.uID = id;
    m_targetHook.m_pOwner = this;
    m_topLevelHook.m_pOwner = this;
    CopyTip(m_iconData.szTip, AfxLoadString(id).c_str());
}

CTrayIcon::~CTrayIcon() {
    for (LifeGuard* guard = m_pGuards; guard; guard = guard->m_pOuter)
        guard->m_pIcon = nullptr;
    m_pGuards = nullptr;
    SetIconFromResource(0);
}

void CTrayIcon::SetNotificationTarget(CWnd* window, UINT callbackMessage) {
    HWND hWnd = window ? window->GetSafeHwnd() : nullptr;
    m_iconData.hWnd = hWnd;
    m_iconData.uCallbackMessage = callbackMessage;
    HWND topLevel = hWnd ? TopLevelParent(hWnd) : nullptr;
    m_targetHook.SetHookedWindow(hWnd);
    // The taskbar's broadcast reaches top-level windows only.
    if (topLevel != hWnd)
        m_topLevelHook.SetHookedWindow(topLevel);
}

BOOL CTrayIcon::SetIconFromResource(UINT id) {
    if (id == 0)
        return SetIconHandle(nullptr, nullptr);
    CopyTip(m_iconData.szTip, AfxLoadString(id).c_str());
    HICON icon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id));
    return SetIconHandle(icon, nullptr);
}

BOOL CTrayIcon::SetIconHandle(HICON icon, LPCSTR tip) {
    m_iconData.uFlags = 0;
    DWORD operation;
    if (icon) {
        operation = m_iconData.hIcon ? NIM_MODIFY : NIM_ADD;
        m_iconData.hIcon = icon;
        m_iconData.uFlags = NIF_ICON;
    } else {
        if (!m_iconData.hIcon)
            return TRUE;
        operation = NIM_DELETE; // names the shown icon
    }
    if (tip)
        CopyTip(m_iconData.szTip, tip);
    if (m_iconData.szTip[0])
        m_iconData.uFlags |= NIF_TIP;
    if (m_iconData.uCallbackMessage && m_iconData.hWnd)
        m_iconData.uFlags |= NIF_MESSAGE;

    // Whatever waits in the queue runs first; it may be a handler that deletes this icon.
    LifeGuard guard(*this);
    BOOL accepted = FALSE;
    for (int call = 0; call < kShellCalls && !accepted; ++call) {
        AfxPumpWaitingMessages();
        if (!guard.Alive())
            return FALSE;
        accepted = NotifyShell(operation);
    }
    if (!accepted) {
        AfxPumpWaitingMessages();
        if (!guard.Alive())
            return FALSE;
    }
    // A refused add or change leaves no icon we could change later: the next one is added afresh.
    if (operation == NIM_DELETE || !accepted)
        m_iconData.hIcon = nullptr;
    return accepted;
}

BOOL CTrayIcon::NotifyShell(DWORD operation) {
    return ::Shell_NotifyIconA(operation, &m_iconData);
}

LRESULT CTrayIcon::OnIconMessage(WPARAM wParam, LPARAM lParam) {
    // Without a newer notification format the shell sends the icon id and the mouse message.
    if (wParam != m_iconData.uID)
        return 0;
    if (lParam != WM_RBUTTONUP && lParam != WM_LBUTTONDBLCLK)
        return 0;
    CMenuHandle menu(::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_iconData.uID)));
    if (!menu.Get())
        return 0;
    HMENU popup = ::GetSubMenu(menu.Get(), 0);
    if (!popup)
        return 0;
    // The menu loop and the command may delete this icon: only locals are used from here on.
    HWND target = m_iconData.hWnd;
    if (lParam == WM_RBUTTONUP) {
        ::SetMenuDefaultItem(popup, 0, TRUE);
        POINT cursor{};
        ::GetCursorPos(&cursor);
        ::SetForegroundWindow(target);
        ::TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, target, nullptr);
    } else {
        ::SendMessageA(target, WM_COMMAND, ::GetMenuItemID(popup, 0), 0);
    }
    return 1;
}

LRESULT CTrayIcon::OnTaskbarRestart(WPARAM, LPARAM) {
    HICON icon = m_iconData.hIcon;
    m_iconData.hIcon = nullptr;
    if (!icon)
        return 0;
    LifeGuard guard(*this);
    if (!SetIconHandle(icon, nullptr) && guard.Alive()) {
        // The shell broadcasts also when the display scale changes while our icon is still there;
        // the add then fails, and a change keeps the icon counted as shown.
        m_iconData.hIcon = icon;
        SetIconHandle(icon, nullptr);
    }
    return 0;
}
