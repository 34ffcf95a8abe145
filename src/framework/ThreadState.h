// Per-thread record of the message being processed, read by default processing.
#pragma once

#include "Afx.h"

struct AFX_THREAD_STATE {
    MSG m_lastSentMsg{}; // window, message, wParam, lParam, time, cursor
};

inline AFX_THREAD_STATE* AfxGetThreadState() {
    static thread_local AFX_THREAD_STATE state;
    return &state;
}

// Saves the whole record, sets window and message parameters, restores all on scope exit.
class CurrentMessageScope {
  public:
    CurrentMessageScope(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
        : m_saved(AfxGetThreadState()->m_lastSentMsg) {
        AfxGetThreadState()->m_lastSentMsg = MSG{hWnd, message, wParam, lParam, m_saved.time, m_saved.pt};
    }
    ~CurrentMessageScope() { AfxGetThreadState()->m_lastSentMsg = m_saved; }
    CurrentMessageScope(const CurrentMessageScope&) = delete;
    CurrentMessageScope& operator=(const CurrentMessageScope&) = delete;

  private:
    MSG m_saved;
};
