#include "TopMostMessageBox.h"

#include <cstring>

namespace {
thread_local HHOOK t_hook = nullptr;

LRESULT CALLBACK ActivateHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char className[16] = "";
        ::GetClassNameA(window, className, sizeof className);
        if (std::strcmp(className, "#32770") == 0)
            ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return ::CallNextHookEx(t_hook, code, wParam, lParam);
}
} // namespace

int TopMostMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    bool hooked = false;
    if ((type & MB_TOPMOST) && !t_hook) {
        t_hook = ::SetWindowsHookExA(WH_CBT, &ActivateHook, nullptr, ::GetCurrentThreadId());
        hooked = t_hook != nullptr;
    }
    int answer = ::MessageBoxA(owner, text, caption, type);
    if (hooked) {
        ::UnhookWindowsHookEx(t_hook);
        t_hook = nullptr;
    }
    return answer;
}
