// The updater's switches: "uninstall", "UpdateOnStartup", "NoUpdateOnStartup".
#pragma once

#include "framework/CommandLineInfo.h"

class CUpdaterCommandLineInfo : public CCommandLineInfo {
  public:
    void ParseParam(const char* param, bool isSwitch, bool isLast) override;

    int m_uninstall = 0;
    int m_updateOnStartup = 0;
    int m_noUpdateOnStartup = 0;
    int m_afterUpdate = 0; // started by the instance it replaces, after an update
};
