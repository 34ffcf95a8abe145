// Static text and pictures.
#pragma once

#include "Wnd.h"

class CStatic : public CWnd {};
