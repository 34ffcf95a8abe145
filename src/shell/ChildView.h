// The view filling the main window: first stop of command routing, holder of the focus.
#pragma once

#include "framework/Wnd.h"

class CChildView : public CWnd {
  public:
    ~CChildView() override = default;
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;

  protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    void OnPaint();
};
