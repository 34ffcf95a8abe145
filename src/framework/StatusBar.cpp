#include "StatusBar.h"

#include <vector>

BOOL CStatusBar::Create(CWnd* parent, DWORD style, UINT id) {
    HWND hWnd =
        ::CreateWindowExA(0, STATUSCLASSNAMEA, nullptr, (style & (WS_CHILD | WS_VISIBLE)) | CCS_NOPARENTALIGN,
                          0, 0, 0, 0, parent ? parent->m_hWnd : nullptr,
                          reinterpret_cast<HMENU>(UINT_PTR(id)), AfxGetResourceHandle(), nullptr);
    return hWnd ? Attach(hWnd) : FALSE;
}

BOOL CStatusBar::SetIndicators(const UINT* ids, int count) {
    if (!m_hWnd || count <= 0 || count > 255)
        return FALSE;
    // Indicators sit at the right with a fixed width; the message pane takes the rest.
    const int indicatorWidth = 40, messageWidth = 200;
    std::vector<int> edges;
    for (int i = 0; i < count; ++i)
        edges.push_back(i == count - 1 ? -1 : messageWidth + i * indicatorWidth);
    if (!SendMessage(SB_SETPARTS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(edges.data())))
        return FALSE;
    for (int i = 0; i < count; ++i) {
        CString text = ids[i] ? AfxLoadString(ids[i]) : CString();
        SendMessage(SB_SETTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.c_str()));
    }
    return TRUE;
}
