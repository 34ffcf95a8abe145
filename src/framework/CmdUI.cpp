#include "CmdUI.h"

void CCmdUI::Enable(BOOL enabled) {
    m_bEnabled = enabled;
    m_bHandled = TRUE;
    if (m_hMenu)
        EnableMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
}
