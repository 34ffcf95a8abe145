// Top-level frame: title, menu and icon from one resource id; lays out bars and the view.
#pragma once

#include "ControlBar.h"

constexpr DWORD FWS_ADDTOTITLE = 0x00008000; // framework flag, never passed to the system
constexpr UINT AFX_IDW_PANE_FIRST = 0xE900;
constexpr UINT AFX_IDW_TOOLBAR = 0xE800;
constexpr UINT AFX_IDW_STATUS_BAR = 0xE801;

class CFrameWnd : public CWnd {
    PM_DECLARE_RUNTIME_CLASS()
  public:
    // Creates the window with title string, menu and icon of resourceId. On failure the object
    // has deleted itself, as a destroyed frame does.
    BOOL LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                   CWnd* parent = nullptr, void* context = nullptr);
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    // Own table first, then the application object.
    BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI) override;

    void EnableDocking(DWORD) {} // as CControlBar::EnableDocking
    BOOL DockControlBar(CControlBar* bar);
    void RecalcLayout();

  protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    // The frame's own creation processing; 0 or -1.
    int OnCreate(LPCREATESTRUCTA cs);
    void OnClose();
    void PostNcDestroy() override;
};
