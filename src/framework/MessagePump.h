// Serving the thread's queue from inside long operations.
#pragma once

#include "Afx.h"

// Dispatches every waiting message of the calling thread, offering each to dialog's keyboard
// handling first when one is given. A quit request ends the pumping and is put back for the
// message loop, so that nested pumps never swallow the end of the program.
void AfxPumpWaitingMessages(HWND dialog = nullptr);
