#include "ToolBar.h"

#include <cstring>
#include <vector>

namespace {
const LPCSTR kToolBarType = MAKEINTRESOURCEA(241);

// A toolbar resource (type 241): button size and the command ids, 0 for a separator.
struct ToolBarLayout {
    int width = 0;
    int height = 0;
    std::vector<UINT> ids;
};

// Microsoft's resource compiler writes WORDs {1, width, height, count, ids...}; windres writes
// DWORDs {width, height, count, ids...} without the version. Both are read.
bool ReadToolBar(const BYTE* data, DWORD size, ToolBarLayout& layout) {
    auto word = [&](DWORD index) {
        WORD value;
        std::memcpy(&value, data + index * 2, 2);
        return value;
    };
    auto dword = [&](DWORD index) {
        DWORD value;
        std::memcpy(&value, data + index * 4, 4);
        return value;
    };
    if (size >= 8 && word(0) == 1 && size == 8 + 2u * word(3)) {
        layout.width = word(1);
        layout.height = word(2);
        for (DWORD i = 0; i < word(3); ++i)
            layout.ids.push_back(word(4 + i));
        return true;
    }
    if (size >= 12 && dword(2) < size && size == 12 + 4 * dword(2)) {
        layout.width = static_cast<int>(dword(0));
        layout.height = static_cast<int>(dword(1));
        for (DWORD i = 0; i < dword(2); ++i)
            layout.ids.push_back(dword(3 + i));
        return true;
    }
    return false;
}
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
    auto* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    ToolBarLayout layout;
    if (!data || !m_hWnd || !ReadToolBar(data, ::SizeofResource(instance, found), layout))
        return FALSE;

    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (UINT id : layout.ids) {
        TBBUTTON button{};
        if (id == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = image++;
            button.idCommand = static_cast<int>(id);
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
        }
        buttons.push_back(button);
    }
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(layout.width, layout.height));
    TBADDBITMAP bitmap{instance, resourceId};
    if (SendMessage(TB_ADDBITMAP, static_cast<WPARAM>(image), reinterpret_cast<LPARAM>(&bitmap)) == -1)
        return FALSE;
    if (!SendMessage(TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())))
        return FALSE;
    SendMessage(TB_AUTOSIZE);
    return TRUE;
}
