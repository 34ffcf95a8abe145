// Push buttons, check boxes and radio buttons bound to dialog controls.
#pragma once

#include "Wnd.h"

class CButton : public CWnd {};
