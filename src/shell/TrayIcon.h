// The notification-area icon of a window: shown, changed, removed, restored after the taskbar
// restarts, and its mouse events turned into the window's commands.
#pragma once

#include "TrayHook.h"
#include "framework/CmdTarget.h"
#include "framework/Wnd.h"

#include <shellapi.h>

// "TaskbarCreated", registered during static initialisation.
extern const UINT g_uTaskbarCreatedMsg;

class CTrayIcon : public CCmdTarget {
    PM_DECLARE_RUNTIME_CLASS()
  public:
    explicit CTrayIcon(UINT id);
    ~CTrayIcon() override;
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // The window that gets the callback message and the icon's commands; call before the icon shows.
    void SetNotificationTarget(CWnd* window, UINT callbackMessage);
    // Shows icon and tip string id; id 0 removes the icon.
    BOOL SetIconFromResource(UINT id);
    // Adds, changes (icon given) or removes (null) the icon; tip null keeps the tip.
    BOOL SetIconHandle(HICON icon, LPCSTR tip);

    // The callback message: right-button release opens the menu, left double-click runs its first item.
    virtual LRESULT OnIconMessage(WPARAM wParam, LPARAM lParam);
    // The taskbar was recreated: a shown icon is shown again.
    virtual LRESULT OnTaskbarRestart(WPARAM wParam, LPARAM lParam);

    // Tells a caller that dispatches messages whether the icon survived them.
    class LifeGuard {
      public:
        explicit LifeGuard(CTrayIcon& icon) : m_pIcon(&icon), m_pOuter(icon.m_pGuards) {
            icon.m_pGuards = this;
        }
        ~LifeGuard() {
            if (m_pIcon)
                m_pIcon->m_pGuards = m_pOuter;
        }
        LifeGuard(const LifeGuard&) = delete;
        LifeGuard& operator=(const LifeGuard&) = delete;
        bool Alive() const { return m_pIcon != nullptr; }

      private:
        friend class CTrayIcon;
        CTrayIcon* m_pIcon;
        LifeGuard* m_pOuter;
    };

    // The shell's record in its second version; hIcon is null exactly while no icon is shown.
    NOTIFYICONDATAA m_iconData;
    CTrayHook m_targetHook;   // on the notification window
    CTrayHook m_topLevelHook; // on its top-level window, when that is another one

  protected:
    // The one shell call, made with m_iconData.
    virtual BOOL NotifyShell(DWORD operation);

  private:
    LifeGuard* m_pGuards = nullptr; // innermost first
};
