#include "TopMostMessageBox.h"

#include <cstring>

namespace {
thread_local HHOOK t_hook = nullptr;
thread_local HWND t_box = nullptr;

bool IsDialogWindow(HWND window) {
    char className[16] = "";
    ::GetClassNameA(window, className, sizeof className);
    return std::strcmp(className, "#32770") == 0;
}

LRESULT CALLBACK ActivateHook(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    // The box is the first dialog window made once the hook is in; a dialog opened later from the
    // box's own message loop (settings, help) is someone else's and keeps its place.
    if (code == HCBT_CREATEWND && !t_box && IsDialogWindow(window) &&
        !(reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->style & WS_CHILD))
        t_box = window;
    else if (code == HCBT_ACTIVATE && window == t_box)
        ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return ::CallNextHookEx(t_hook, code, wParam, lParam);
}
} // namespace

int TopMostMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    bool hooked = false;
    if ((type & MB_TOPMOST) && !t_hook) {
        t_box = nullptr;
        t_hook = ::SetWindowsHookExA(WH_CBT, &ActivateHook, nullptr, ::GetCurrentThreadId());
        hooked = t_hook != nullptr;
    }
    int answer = ::MessageBoxA(owner, text, caption, type);
    if (hooked) {
        ::UnhookWindowsHookEx(t_hook);
        t_hook = nullptr;
        t_box = nullptr;
    }
    return answer;
}
