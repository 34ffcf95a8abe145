// A C++ object bound to a window handle, with message dispatch and command routing.
#pragma once

#include "CmdTarget.h"

class CWnd : public CCmdTarget {
    PM_DECLARE_RUNTIME_CLASS()
  public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }

    // The object whose window procedure serves hWnd on this thread, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Binds an existing control window without taking over its procedure.
    BOOL Attach(HWND hWnd);

    BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect,
                  HWND parent, UINT_PTR idOrMenu);
    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
    virtual BOOL DestroyWindow();

    // Default processing of the message being handled, read from the per-thread record.
    LRESULT Default();

    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
    void SetWindowText(const CString& text) { ::SetWindowTextA(m_hWnd, text.c_str()); }
    CString GetWindowText() const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }

    static LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    // Registers (once) a window class served by WndProc and returns its name.
    static const char* RegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr,
                                        HBRUSH background = nullptr, HICON icon = nullptr);

  protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Returns TRUE when the message was handled; *pResult is then its result.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // The command gate: a command without control handle runs only when its state allows it.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // Greys items of a popup this window owns through the same state handlers.
    void OnInitMenuPopup(HMENU popup);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void PostNcDestroy() {}

    void BindPermanent(HWND hWnd);
    void UnbindPermanent();

  private:
    bool m_bPermanent = false; // our procedure serves the window
};
