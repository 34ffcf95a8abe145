#include "FrameWnd.h"

#include "WinApp.h"

PM_IMPLEMENT_RUNTIME_CLASS(CFrameWnd, "CFrameWnd", nullptr)

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent, void*) {
    HINSTANCE instance = AfxGetResourceHandle();
    CString title = AfxLoadString(resourceId);
    HMENU menu = ::LoadMenuA(instance, MAKEINTRESOURCEA(resourceId));
    RECT rect{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT + 400, CW_USEDEFAULT + 300};
    if (!CreateEx(0, nullptr, title.c_str(), style & ~FWS_ADDTOTITLE, rect, parent ? parent->m_hWnd : nullptr,
                  reinterpret_cast<UINT_PTR>(menu))) {
        // The object is gone by now; only locals may be touched.
        if (menu && ::IsMenu(menu))
            ::DestroyMenu(menu);
        return FALSE;
    }
    if (HICON icon = ::LoadIconA(instance, MAKEINTRESOURCEA(resourceId)))
        SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    return TRUE;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTA& cs) {
    if (!cs.lpszClass)
        cs.lpszClass =
            RegisterWndClass(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, ::LoadCursorA(nullptr, IDC_ARROW),
                             reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    cs.dwExStyle |= WS_EX_CLIENTEDGE;
    return TRUE;
}

BOOL CFrameWnd::OnCmdMsg(UINT id, CCmdUI* pCmdUI) {
    if (CWnd::OnCmdMsg(id, pCmdUI))
        return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(id, pCmdUI);
}

BOOL CFrameWnd::DockControlBar(CControlBar* bar) {
    if (!bar || !bar->m_hWnd)
        return FALSE;
    RecalcLayout();
    return TRUE;
}

void CFrameWnd::RecalcLayout() {
    if (!m_hWnd)
        return;
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    // Bars are found by their standard ids so that undocked ones are laid out too.
    if (HWND toolbar = ::GetDlgItem(m_hWnd, AFX_IDW_TOOLBAR)) {
        RECT r{};
        ::GetWindowRect(toolbar, &r);
        int height = r.bottom - r.top;
        ::MoveWindow(toolbar, client.left, client.top, client.right - client.left, height, TRUE);
        client.top += height;
    }
    if (HWND status = ::GetDlgItem(m_hWnd, AFX_IDW_STATUS_BAR)) {
        RECT r{};
        ::GetWindowRect(status, &r);
        int height = r.bottom - r.top;
        ::MoveWindow(status, client.left, client.bottom - height, client.right - client.left, height, TRUE);
        client.bottom -= height;
    }
    if (HWND view = ::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST))
        ::MoveWindow(view, client.left, client.top, client.right - client.left,
                     client.bottom > client.top ? client.bottom - client.top : 0, TRUE);
}

int CFrameWnd::OnCreate(LPCREATESTRUCTA) {
    return static_cast<int>(Default());
}

void CFrameWnd::OnClose() {
    DestroyWindow();
}

BOOL CFrameWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    switch (message) {
    case WM_SIZE:
    case WM_CLOSE:
        if (message == WM_SIZE)
            RecalcLayout();
        else
            OnClose();
        *pResult = 0;
        return TRUE;
    case WM_DESTROY: {
        CWinApp* app = AfxGetApp();
        if (app && app->m_pMainWnd == this)
            ::PostQuitMessage(0);
        return FALSE;
    }
    default:
        return CWnd::OnWndMsg(message, wParam, lParam, pResult);
    }
}

void CFrameWnd::PostNcDestroy() {
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
    delete this;
}
