// Many update runs in one resident program against a real FTP server, alternating a new package
// (installed) with "nothing new" (its box answered), and what the process holds after each run.
#pragma once

#include "FtpTestServer.h"
#include "ProcessGauge.h"
#include "ResidentProgram.h"

#include <string>
#include <vector>

namespace pmtest {

struct SoakRun {
    int number = 0;
    bool newPackage = false; // odd runs: a new package, installed; even runs: the box
    DWORD milliseconds = 0;  // from the request until the program serves its window again
    ProcessFigures figures;
};

class UpdateSoak {
  public:
    UpdateSoak(const FtpTestServer& server, const std::string& browserDir);
    ~UpdateSoak();
    UpdateSoak(const UpdateSoak&) = delete;
    UpdateSoak& operator=(const UpdateSoak&) = delete;

    // Settings, a fresh program; false with the reason.
    bool Start(std::string& error);
    // Run number n (from 1), checked for its outcome, then measured.
    bool Run(int number, SoakRun& run, std::string& error);

  private:
    const FtpTestServer& m_server;
    std::string m_browserDir;
    ResidentProgram m_program;
    int m_linuxPid = 0;
    int m_installs = 0;
    std::string m_lastPackage;
};

// Each way the runs after the first warmUp ones grew beyond the limits, measured against the run
// that ended the warm-up: handles and Linux descriptors within +-2, GDI objects and windows equal,
// private bytes and RssAnon within 2 %.
std::vector<std::string> GrowthAfterWarmUp(const std::vector<SoakRun>& runs, size_t warmUp);
// A table of every run, then first / after warm-up / last / min / max of each figure, and the
// times of each kind of run.
std::string SoakReport(const std::vector<SoakRun>& runs, size_t warmUp);

} // namespace pmtest
