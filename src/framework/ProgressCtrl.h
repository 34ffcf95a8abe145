// The common-controls progress bar bound to a dialog control.
#pragma once

#include "Wnd.h"

class CProgressCtrl : public CWnd {};
