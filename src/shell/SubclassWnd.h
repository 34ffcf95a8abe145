// A hook that sees a window's messages before the window's own procedure does.
#pragma once

#include "framework/Object.h"
#include "framework/Afx.h"

class CSubclassWnd : public CObject {
    PM_DECLARE_RUNTIME_CLASS()
  public:
    CSubclassWnd() = default;
    ~CSubclassWnd() override;
    CSubclassWnd(const CSubclassWnd&) = delete;
    CSubclassWnd& operator=(const CSubclassWnd&) = delete;

    // Attaches to hWnd, or detaches with null; an attached hook leaves its window first.
    BOOL SetHookedWindow(HWND hWnd);

    // Sees every message of the hooked window that reaches this hook; the base passes it on to the
    // next older hook or, from the oldest, to the window's own procedure.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hHookedWnd = nullptr;
    WNDPROC m_pfnPrevProc = nullptr; // the window's own procedure, the same in every hook of it
    CSubclassWnd* m_pNextHook = nullptr;
};
