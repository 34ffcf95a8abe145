// Drives windows as a user would, from a thread other than the one that owns them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace pmtest {

// Polls until a top-level window of that class (null: any) and caption shows; null after the time-out.
HWND WaitForWindow(const char* className, const char* caption, DWORD timeoutMs = 10000);
// Polls until the window is gone; FALSE after the time-out.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = 10000);
// Polls cond every few ms while pumping this thread's messages; FALSE after the time-out.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = 10000);
// Dispatches every waiting message of the calling thread.
void PumpPending();

std::string GetText(HWND window);
std::string GetItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string& text);
// Posts a click so that a button starting a modal loop never blocks the caller.
void ClickButton(HWND dialog, int id);
bool IsItemEnabled(HWND dialog, int id);
bool IsItemVisible(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);

// What a message box showed.
struct MessageBoxSeen {
    bool shown = false;
    std::string text;
    bool topMost = false;
    HWND owner = nullptr;
    int defaultButton = 0; // id of the default push button
};

// Watches, on its own thread, for one message box ("#32770") with the caption and answers it
// with the button id. Join with Wait().
class MessageBoxWatcher {
  public:
    MessageBoxWatcher(const char* caption, int answerId, DWORD timeoutMs = 15000);
    ~MessageBoxWatcher();
    MessageBoxSeen Wait();

  private:
    std::thread m_thread;
    MessageBoxSeen m_seen;
};

} // namespace pmtest
