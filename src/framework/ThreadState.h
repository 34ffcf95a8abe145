// Per-thread record of the message being processed, read by default processing.
#pragma once

#include "Afx.h"

struct AFX_THREAD_STATE {
    MSG m_lastSentMsg{}; // window, message, wParam, lParam, time, cursor
};

AFX_THREAD_STATE* AfxGetThreadState();

// Saves the whole record, sets window and message parameters, restores all on scope exit.
class CurrentMessageScope {
  public:
    CurrentMessageScope(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    ~CurrentMessageScope();
    CurrentMessageScope(const CurrentMessageScope&) = delete;
    CurrentMessageScope& operator=(const CurrentMessageScope&) = delete;

  private:
    MSG m_saved;
};
