// A message box that is really top-most when asked to be.
#pragma once

#include "framework/Afx.h"

// MessageBoxA; with MB_TOPMOST the box is also put in the top-most band as it activates, since some
// window systems show the box without honouring the flag.
int TopMostMessageBox(HWND owner, const char* text, const char* caption, UINT type);
