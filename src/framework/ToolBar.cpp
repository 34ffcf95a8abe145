#include "ToolBar.h"

#include <vector>

namespace {
// Layout of a toolbar resource (type 241) as resource compilers write it.
struct ToolBarData {
    WORD wVersion;
    WORD wWidth;
    WORD wHeight;
    WORD wItemCount;
};
const LPCSTR kToolBarType = MAKEINTRESOURCEA(241);
} // namespace

BOOL CToolBar::CreateEx(CWnd* parent, DWORD toolbarStyle, DWORD style, UINT id) {
    m_dwBarStyle = style & (CBRS_ALIGN_ANY | CBRS_GRIPPER | CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_SIZE_DYNAMIC);
    DWORD windowStyle = (style & (WS_CHILD | WS_VISIBLE)) | toolbarStyle | CCS_NOPARENTALIGN | CCS_NORESIZE |
                        CCS_NODIVIDER | ((style & CBRS_TOOLTIPS) ? TBSTYLE_TOOLTIPS : 0);
    HWND hWnd = ::CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, windowStyle, 0, 0, 0, 0,
                                  parent ? parent->m_hWnd : nullptr, reinterpret_cast<HMENU>(UINT_PTR(id)),
                                  AfxGetResourceHandle(), nullptr);
    if (!hWnd)
        return FALSE;
    Attach(hWnd);
    SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    return TRUE;
}

BOOL CToolBar::LoadToolBar(UINT resourceId) {
    HINSTANCE instance = AfxGetResourceHandle();
    HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(resourceId), kToolBarType);
    HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
    auto* data = loaded ? static_cast<const ToolBarData*>(::LockResource(loaded)) : nullptr;
    if (!data || data->wVersion != 1 || !m_hWnd)
        return FALSE;
    const WORD* ids = reinterpret_cast<const WORD*>(data + 1);

    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (WORD i = 0; i < data->wItemCount; ++i) {
        TBBUTTON button{};
        if (ids[i] == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = image++;
            button.idCommand = ids[i];
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
        }
        buttons.push_back(button);
    }
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(data->wWidth, data->wHeight));
    TBADDBITMAP bitmap{instance, resourceId};
    if (SendMessage(TB_ADDBITMAP, static_cast<WPARAM>(image), reinterpret_cast<LPARAM>(&bitmap)) == -1)
        return FALSE;
    if (!SendMessage(TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())))
        return FALSE;
    SendMessage(TB_AUTOSIZE);
    return TRUE;
}
