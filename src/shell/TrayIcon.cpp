#include "TrayIcon.h"

CTrayIcon::CTrayIcon(UINT) {}
CTrayIcon::~CTrayIcon() = default;
void CTrayIcon::SetNotificationTarget(CWnd*, UINT) {}
BOOL CTrayIcon::SetIconFromResource(UINT) {
    return TRUE;
}
