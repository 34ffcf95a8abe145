// State query for one command: its handler says whether the command is enabled.
#pragma once

#include "Afx.h"

class CCmdUI {
  public:
    explicit CCmdUI(UINT id) : m_nID(id) {}
    // A query for one item of a popup menu: enabling greys or un-greys that item.
    CCmdUI(UINT id, HMENU menu, UINT index) : m_nID(id), m_hMenu(menu), m_nIndex(index) {}
    virtual ~CCmdUI() = default;

    virtual void Enable(BOOL enabled = TRUE) {
        m_bEnabled = enabled;
        m_bHandled = TRUE;
        if (m_hMenu)
            ::EnableMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    }

    UINT m_nID;
    BOOL m_bEnabled = TRUE;
    BOOL m_bHandled = FALSE; // a state handler answered
    HMENU m_hMenu = nullptr;
    UINT m_nIndex = 0;
};
