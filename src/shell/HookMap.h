// The process-wide table from a hooked window to the newest hook of its chain.
#pragma once

#include "framework/Afx.h"

#include <unordered_map>

class CSubclassWnd;

class HookMap {
  public:
    // Puts hook in front of hWnd's chain; the first hook of a window takes over its procedure.
    void AddHook(HWND hWnd, CSubclassWnd* hook);
    // Unlinks hook from the chain of the window it is attached to; the last one gives the window
    // its own procedure back.
    void RemoveHook(CSubclassWnd* hook);
    // Detaches every hook of hWnd, newest first.
    void RemoveAllHooks(HWND hWnd);
    // The newest hook of hWnd, or null.
    CSubclassWnd* FirstHook(HWND hWnd) const;

  private:
    // Non-owning: hooks belong to whoever embeds them and detach themselves.
    std::unordered_map<HWND, CSubclassWnd*> m_heads;
};

// Built at the first call, destroyed at process exit.
HookMap& GetHookMap();

// The window procedure of every hooked window.
LRESULT CALLBACK SharedHookProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
