#include "CommandSpy.h"

#include "res/resource.h"

namespace {
const char kProperty[] = "PmSchedCommandSpy";
}

CommandSpy::CommandSpy(HWND window, bool passOn) : m_window(window), m_passOn(passOn) {
    ::SetPropA(window, kProperty, this);
    m_previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CommandSpy::Proc)));
}

CommandSpy::~CommandSpy() {
    if (!::IsWindow(m_window))
        return;
    if (::GetWindowLongPtrA(m_window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&CommandSpy::Proc))
        ::SetWindowLongPtrA(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
    ::RemovePropA(m_window, kProperty);
}

LRESULT CALLBACK CommandSpy::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* spy = static_cast<CommandSpy*>(::GetPropA(window, kProperty));
    if (!spy)
        return ::DefWindowProcA(window, message, wParam, lParam);
    WNDPROC previous = spy->m_previous;
    if (message == WM_COMMAND && lParam == 0) {
        if (LOWORD(wParam) == ID_UPDATE_NOW) {
            ++spy->m_updateNow;
            spy->m_startedBy = HIWORD(wParam);
            if (::InSendMessage())
                ++spy->m_fromOtherThread;
            if (spy->m_onUpdateNow)
                spy->m_onUpdateNow();
            if (!spy->m_passOn)
                return 0;
        } else if (LOWORD(wParam) == ID_RUN_LAUNCHER) {
            ++spy->m_runLauncher;
            if (!spy->m_passOn)
                return 0;
        }
    }
    if (message == WM_CLOSE)
        ++spy->m_close;
    if (message == WM_NCDESTROY) {
        ::RemovePropA(window, kProperty);
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    }
    return ::CallWindowProcA(previous, window, message, wParam, lParam);
}
