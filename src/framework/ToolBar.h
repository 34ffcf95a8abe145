// Toolbar from a toolbar resource and its bitmap.
#pragma once

#include "ControlBar.h"

class CToolBar : public CControlBar {
  public:
    BOOL CreateEx(CWnd* parent, DWORD toolbarStyle, DWORD style, UINT id);
    // Loads the button ids from the toolbar resource and the glyphs from the bitmap of the same id.
    BOOL LoadToolBar(UINT resourceId);
};
