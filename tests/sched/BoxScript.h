// Plays the user at one message box: waits for it by caption on its own thread, records what it
// shows, runs an action while it is open, then presses a button.
#pragma once

#include "support/UiDriver.h"

#include <atomic>
#include <functional>
#include <thread>

class BoxScript {
  public:
    BoxScript(const char* caption, int answerId, std::function<void(HWND box)> whileShown = {},
              DWORD timeoutMs = 30000);
    ~BoxScript();
    BoxScript(const BoxScript&) = delete;
    BoxScript& operator=(const BoxScript&) = delete;
    // Joins the thread; what the box showed (shown false after the time-out).
    pmtest::MessageBoxSeen Wait();
    // The box was answered or never came; Wait() then returns at once.
    bool Finished() const { return m_finished; }
    // Stops looking for a box that has not come; what was seen so far.
    pmtest::MessageBoxSeen Stop();

  private:
    std::thread m_thread;
    pmtest::MessageBoxSeen m_seen;
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_stop{false};
};

// A visible message box with exactly this caption, in any process; null when there is none. (Unlike
// FindWindow it is not misled by a hidden box of that caption that comes first.)
HWND FindBox(const char* caption);
// Polls for it; null after the time-out.
HWND WaitForBox(const char* caption, DWORD timeoutMs);
// How many are shown at once.
int CountBoxes(const char* caption);

// Reads the box as a user sees it.
pmtest::MessageBoxSeen ReadBox(HWND box);
