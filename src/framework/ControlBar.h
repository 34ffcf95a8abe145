// Common base of the toolbar and the status bar: a child window the frame lays out.
#pragma once

#include "Wnd.h"

// Bar styles of the frame layout (kept out of the window style word).
enum : DWORD {
    CBRS_ALIGN_ANY = 0xF000,
    CBRS_TOP = 0x1000,
    CBRS_BOTTOM = 0x4000,
    CBRS_GRIPPER = 0x00400000,
    CBRS_TOOLTIPS = 0x0010,
    CBRS_FLYBY = 0x0020,
    CBRS_SIZE_DYNAMIC = 0x0080,
};

class CControlBar : public CWnd {
  public:
    // The frame is never shown, so bars never float: docking sides have nothing to decide.
    void EnableDocking(DWORD) {}
};
