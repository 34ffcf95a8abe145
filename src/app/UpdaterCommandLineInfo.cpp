#include "UpdaterCommandLineInfo.h"

#include "core/SwitchName.h"
#include "framework/Afx.h"

namespace {
// Case-blind for ASCII letters and aware of double-byte characters of the ANSI code page.
bool SameSwitch(const char* param, const char* name) {
    return IsSwitchNamed(param, name,
                         [](unsigned char byte) { return ::IsDBCSLeadByteEx(CP_ACP, byte) != FALSE; });
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
