#include "UiDriver.h"

namespace pmtest {

void PumpPending() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return false;
        PumpPending();
        ::Sleep(10);
    }
}

HWND WaitForWindow(const char* className, const char* caption, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = ::FindWindowA(className, caption);
            return found != nullptr && ::IsWindowVisible(found);
        },
        timeoutMs);
    return found && ::IsWindowVisible(found) ? found : nullptr;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !::IsWindow(window); }, timeoutMs);
}

std::string GetText(HWND window) {
    char buffer[4096] = "";
    ::SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                          SMTO_ABORTIFHUNG, 5000, nullptr);
    return buffer;
}

std::string GetItemText(HWND dialog, int id) {
    return GetText(::GetDlgItem(dialog, id));
}

void SetItemText(HWND dialog, int id, const std::string& text) {
    ::SendMessageA(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ClickButton(HWND dialog, int id) {
    ::PostMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool IsItemEnabled(HWND dialog, int id) {
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}

bool IsItemVisible(HWND dialog, int id) {
    return (::GetWindowLongA(::GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool IsChecked(HWND dialog, int id) {
    return ::SendMessageA(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

MessageBoxWatcher::MessageBoxWatcher(const char* caption, int answerId, DWORD timeoutMs)
    : m_thread([this, caption = std::string(caption), answerId, timeoutMs] {
          HWND box = WaitForWindow("#32770", caption.c_str(), timeoutMs);
          if (!box)
              return;
          m_seen.shown = true;
          m_seen.text = GetItemText(box, 0xFFFF);
          m_seen.topMost = (::GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
          m_seen.owner = ::GetWindow(box, GW_OWNER);
          LRESULT def = ::SendMessageA(box, DM_GETDEFID, 0, 0);
          m_seen.defaultButton = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : 0;
          ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(answerId, BN_CLICKED),
                         reinterpret_cast<LPARAM>(::GetDlgItem(box, answerId)));
      }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    if (m_thread.joinable())
        m_thread.join();
}

MessageBoxSeen MessageBoxWatcher::Wait() {
    if (m_thread.joinable())
        m_thread.join();
    return m_seen;
}

} // namespace pmtest
