// Drives windows as a user would, from a thread other than the one that owns them.
#pragma once

#include <windows.h>

#include <atomic>
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

// Visible message boxes ("#32770") with exactly this caption, in any process. Titles are read
// without sending messages, so a busy box never holds the search up, and a hidden box of that
// caption never hides a shown one.
HWND FindBox(const char* caption);
HWND WaitForBox(const char* caption, DWORD timeoutMs = 10000); // null after the time-out
int CountBoxes(const char* caption);

// What a message box showed.
struct MessageBoxSeen {
    bool shown = false;
    std::string text;
    bool topMost = false;
    HWND owner = nullptr;
    int defaultButton = 0; // id of the push button drawn as the default
};

// Watches, on its own thread, for one message box with the caption, records what it shows, runs
// whileShown while it is open, then answers it with the button id. Join with Wait().
class MessageBoxWatcher {
  public:
    MessageBoxWatcher(const char* caption, int answerId, DWORD timeoutMs = 30000,
                      std::function<void(HWND box)> whileShown = {});
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    MessageBoxSeen Wait();
    // Gives up looking for a box that has not come; what was seen.
    MessageBoxSeen Stop();
    // The box was answered or never came.
    bool Finished() const { return m_finished; }

  private:
    MessageBoxSeen m_seen;
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_stop{false};
    std::thread m_thread; // last: it uses the members above
};

} // namespace pmtest
