// The tray icon's watch on a window: its callback message and the taskbar-restart broadcast.
#pragma once

#include "SubclassWnd.h"

class CTrayIcon;

class CTrayHook : public CSubclassWnd {
  public:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    CTrayIcon* m_pOwner = nullptr; // the icon that embeds this hook
};
