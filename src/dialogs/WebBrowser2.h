// The WebBrowser ActiveX control as a window object; calls go through its automation interface.
#pragma once

#include "framework/Wnd.h"

#include <oaidl.h>

class CWebBrowser2 : public CWnd {
    PM_DECLARE_RUNTIME_CLASS()
  public:
    // Also makes dialog templates able to place the control by its class id.
    CWebBrowser2();
    ~CWebBrowser2() override = default;

    // Creation at run time, part of the class's contract; the program creates it only from a template.
    static CObject* CreateObject();

    // Creates the control itself (no persisted state, no storage, no licence key) as a child of parent.
    // Kept for the class's contract: the program never calls it, a dialog template places the control.
    BOOL Create(LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // Navigate(URL, Flags, TargetFrameName, PostData, Headers); each optional argument may be null.
    void Navigate(LPCSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData, VARIANT* headers);
};
