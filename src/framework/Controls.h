// Dialog controls bound by id: push buttons, check and radio boxes, edits, static texts and pictures,
// the common-controls progress bar. The Win32 calls on their handles are all they need.
#pragma once

#include "Wnd.h"

class CButton : public CWnd {};
class CEdit : public CWnd {};
class CStatic : public CWnd {};
class CProgressCtrl : public CWnd {};
