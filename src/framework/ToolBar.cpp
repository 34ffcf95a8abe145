#include "ToolBar.h"

#include <vector>

namespace {
const LPCSTR kToolBarType = MAKEINTRESOURCEA(241);
} // namespace

BOOL CToolBar::CreateEx(CWnd* parent, DWORD toolbarStyle, DWORD style, UINT id) {
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
    const WORD* words = loaded ? static_cast<const WORD*>(::LockResource(loaded)) : nullptr;
    DWORD size = words ? ::SizeofResource(instance, found) : 0;
    // WORD version 1, width, height, count, then the WORD ids (0 a separator), as res/Pendlemark.rc
    // writes it, possibly padded to a DWORD.
    if (!words || !m_hWnd || size < 4 * sizeof(WORD) || words[0] != 1 ||
        size < (4 + words[3]) * sizeof(WORD) || size > (5 + words[3]) * sizeof(WORD))
        return FALSE;

    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (const WORD* id = words + 4; id != words + 4 + words[3]; ++id) {
        TBBUTTON button{};
        if (*id == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = image++;
            button.idCommand = *id;
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
        }
        buttons.push_back(button);
    }
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(words[1], words[2]));
    TBADDBITMAP bitmap{instance, resourceId};
    if (SendMessage(TB_ADDBITMAP, static_cast<WPARAM>(image), reinterpret_cast<LPARAM>(&bitmap)) == -1)
        return FALSE;
    if (!SendMessage(TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())))
        return FALSE;
    SendMessage(TB_AUTOSIZE);
    return TRUE;
}
