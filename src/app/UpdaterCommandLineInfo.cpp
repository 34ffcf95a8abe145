#include "UpdaterCommandLineInfo.h"

#include "framework/Afx.h"

namespace {
// Case-blind and aware of double-byte characters of the ANSI code page.
bool SameSwitch(const char* a, const char* b) {
    return ::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}
} // namespace

void CUpdaterCommandLineInfo::ParseParam(const char* param, bool isSwitch, bool) {
    if (!isSwitch)
        return;
    if (SameSwitch(param, "uninstall"))
        m_uninstall = 1;
    else if (SameSwitch(param, "UpdateOnStartup"))
        m_updateOnStartup = 1;
    else if (SameSwitch(param, "NoUpdateOnStartup"))
        m_noUpdateOnStartup = 1;
    else if (SameSwitch(param, "AfterUpdate"))
        m_afterUpdate = 1;
}
