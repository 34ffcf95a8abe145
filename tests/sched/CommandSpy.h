// Subclasses a window to see the commands that reach it, before its own command gate does.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

class CommandSpy {
  public:
    // passOn: hand each message on to the window (false swallows "&Update Now" and "Run Corvalis").
    CommandSpy(HWND window, bool passOn);
    ~CommandSpy();
    CommandSpy(const CommandSpy&) = delete;
    CommandSpy& operator=(const CommandSpy&) = delete;

    std::atomic<int> m_updateNow{0};
    std::atomic<int> m_runLauncher{0};
    std::atomic<int> m_fromOtherThread{0}; // "&Update Now" sent by another thread
    std::atomic<int> m_close{0};           // WM_CLOSE, whoever asked
    std::atomic<unsigned> m_startedBy{0};  // the notification code of the last "&Update Now": who asked
    // Runs on the window's thread when "&Update Now" arrives, before it is handed on.
    std::function<void()> m_onUpdateNow;

  private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_window;
    WNDPROC m_previous = nullptr;
    bool m_passOn;
};
