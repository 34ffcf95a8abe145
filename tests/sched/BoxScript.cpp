#include "BoxScript.h"

#include <string>

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
          pmtest::WaitUntil(
              [&] {
                  box = ::FindWindowA("#32770", caption.c_str());
                  return m_stop || (box && ::IsWindowVisible(box));
              },
              timeoutMs);
          if (!box || !::IsWindowVisible(box)) {
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
