// Status bar with a message pane and indicator panes.
#pragma once

#include "ControlBar.h"

class CStatusBar : public CControlBar {
  public:
    BOOL Create(CWnd* parent, DWORD style, UINT id);
    // Pane ids: 0 is the message pane; others take their text from the string of that id.
    BOOL SetIndicators(const UINT* ids, int count);
};
