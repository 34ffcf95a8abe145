// The platform's per-process start-ups the program needs, each ended by its owner.
#pragma once

#include "framework/Afx.h"

// Windows Sockets 1.1, as the FTP client of old expected it.
class CSocketsStartup {
  public:
    CSocketsStartup() = default;
    ~CSocketsStartup() { End(); }
    CSocketsStartup(const CSocketsStartup&) = delete;
    CSocketsStartup& operator=(const CSocketsStartup&) = delete;

    // FALSE when the sockets could not be started or not in version 1.1.
    BOOL Start();
    void End();

  private:
    bool m_started = false;
};

// OLE on this thread (hosts the help window's browser control); its failure is not fatal.
class COleStartup {
  public:
    COleStartup() = default;
    ~COleStartup() { End(); }
    COleStartup(const COleStartup&) = delete;
    COleStartup& operator=(const COleStartup&) = delete;

    BOOL Start();
    void End();

  private:
    bool m_started = false;
};
