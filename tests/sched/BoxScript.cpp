#include "BoxScript.h"

#include <string>

namespace {
struct BoxSearch {
    std::wstring caption;
    HWND first;
    int count;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    char cls[16] = "";
    ::GetClassNameA(window, cls, sizeof cls);
    // The title as stored, read without a message, so a busy window never holds the search up.
    WCHAR title[256] = L"";
    if (std::string(cls) == "#32770" && ::IsWindowVisible(window) &&
        ::InternalGetWindowText(window, title, 256) >= 0 && search->caption == title) {
        if (!search->first)
            search->first = window;
        ++search->count;
    }
    return TRUE;
}

BoxSearch Search(const char* caption) {
    WCHAR wide[256] = L"";
    ::MultiByteToWideChar(CP_ACP, 0, caption, -1, wide, 256);
    BoxSearch search{wide, nullptr, 0};
    ::EnumWindows(&CollectBox, reinterpret_cast<LPARAM>(&search));
    return search;
}
} // namespace

HWND FindBox(const char* caption) {
    return Search(caption).first;
}

int CountBoxes(const char* caption) {
    return Search(caption).count;
}

HWND WaitForBox(const char* caption, DWORD timeoutMs) {
    HWND box = nullptr;
    pmtest::WaitUntil([&] { return (box = FindBox(caption)) != nullptr; }, timeoutMs);
    return box;
}

pmtest::MessageBoxSeen ReadBox(HWND box) {
    pmtest::MessageBoxSeen seen;
    seen.shown = true;
    seen.text = pmtest::GetItemText(box, 0xFFFF);
    seen.topMost = (::GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    seen.owner = ::GetWindow(box, GW_OWNER);
    // The default button as drawn: the one push button with the default style.
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM param) -> BOOL {
            if ((::GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                reinterpret_cast<pmtest::MessageBoxSeen*>(param)->defaultButton = ::GetDlgCtrlID(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen));
    return seen;
}

BoxScript::BoxScript(const char* caption, int answerId, std::function<void(HWND)> whileShown, DWORD timeoutMs)
    : m_thread([this, caption = std::string(caption), answerId, whileShown, timeoutMs] {
          HWND box = nullptr;
          pmtest::WaitUntil([&] { return m_stop || (box = FindBox(caption.c_str())) != nullptr; }, timeoutMs);
          if (!box) {
              m_finished = true;
              return;
          }
          ::Sleep(150); // a box becomes visible before its initialisation has finished
          m_seen = ReadBox(box);
          if (whileShown)
              whileShown(box);
          ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(answerId, BN_CLICKED),
                         reinterpret_cast<LPARAM>(::GetDlgItem(box, answerId)));
          m_finished = true;
      }) {}

BoxScript::~BoxScript() {
    if (m_thread.joinable())
        m_thread.join();
}

pmtest::MessageBoxSeen BoxScript::Stop() {
    m_stop = true;
    return Wait();
}

pmtest::MessageBoxSeen BoxScript::Wait() {
    if (m_thread.joinable())
        m_thread.join();
    return m_seen;
}
