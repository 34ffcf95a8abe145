#include "ControlBar.h"

int CControlBar::CalcHeight() const {
    RECT rect{};
    if (!m_hWnd || !::GetWindowRect(m_hWnd, &rect))
        return 0;
    return rect.bottom - rect.top;
}
