// The notification-area icon of the main window.
#pragma once

#include "framework/CmdTarget.h"
#include "framework/Wnd.h"

// "TaskbarCreated", registered during static initialisation.
extern const UINT g_uTaskbarCreatedMsg;

class CTrayIcon : public CCmdTarget {
  public:
    explicit CTrayIcon(UINT id);
    ~CTrayIcon() override;
    void SetNotificationTarget(CWnd* window, UINT callbackMessage);
    BOOL SetIconFromResource(UINT id);
};
