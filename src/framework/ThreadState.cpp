#include "ThreadState.h"

AFX_THREAD_STATE* AfxGetThreadState() {
    static thread_local AFX_THREAD_STATE state;
    return &state;
}

CurrentMessageScope::CurrentMessageScope(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    : m_saved(AfxGetThreadState()->m_lastSentMsg) {
    MSG& msg = AfxGetThreadState()->m_lastSentMsg;
    msg.hwnd = hWnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
}

CurrentMessageScope::~CurrentMessageScope() {
    AfxGetThreadState()->m_lastSentMsg = m_saved;
}
