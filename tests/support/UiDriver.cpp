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

namespace {
struct BoxSearch {
    std::wstring caption;
    HWND first = nullptr;
    int count = 0;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    char cls[16] = "";
    WCHAR title[256] = L"";
    ::GetClassNameA(window, cls, sizeof cls);
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
    BoxSearch search{wide};
    ::EnumWindows(&CollectBox, reinterpret_cast<LPARAM>(&search));
    return search;
}

BOOL CALLBACK FindDefaultButton(HWND child, LPARAM param) {
    if ((::GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
        reinterpret_cast<MessageBoxSeen*>(param)->defaultButton = ::GetDlgCtrlID(child);
    return TRUE;
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
    WaitUntil([&] { return (box = FindBox(caption)) != nullptr; }, timeoutMs);
    return box;
}

MessageBoxWatcher::MessageBoxWatcher(const char* caption, int answerId, DWORD timeoutMs,
                                     std::function<void(HWND)> whileShown)
    : m_thread([this, caption = std::string(caption), answerId, timeoutMs, whileShown] {
          HWND box = nullptr;
          WaitUntil([&] { return m_stop || (box = FindBox(caption.c_str())) != nullptr; }, timeoutMs);
          if (box) {
              ::Sleep(150); // a box becomes visible before its initialisation has finished
              m_seen.shown = true;
              m_seen.text = GetItemText(box, 0xFFFF);
              m_seen.topMost = (::GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
              m_seen.owner = ::GetWindow(box, GW_OWNER);
              ::EnumChildWindows(box, &FindDefaultButton, reinterpret_cast<LPARAM>(&m_seen));
              if (whileShown)
                  whileShown(box);
              ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(answerId, BN_CLICKED),
                             reinterpret_cast<LPARAM>(::GetDlgItem(box, answerId)));
          }
          m_finished = true;
      }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    Wait();
}

MessageBoxSeen MessageBoxWatcher::Stop() {
    m_stop = true;
    return Wait();
}

MessageBoxSeen MessageBoxWatcher::Wait() {
    if (m_thread.joinable())
        m_thread.join();
    return m_seen;
}

} // namespace pmtest
