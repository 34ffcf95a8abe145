// One update as the user sees it, whichever channel serves it (CFtpUpdater, CHttpsChannel): the settings
// it acts on, read once when it began; its progress window; the error text its box shows; its log; a close
// of the program asked for meanwhile; the trust in the package fetched; and the package's start.
#pragma once

#include "PackageTrust.h"
#include "RunSnapshot.h"
#include "UpdatePipeline.h"
#include "framework/Afx.h"

#include <functional>
#include <memory>
#include <string>

class CSettings;
class CTransferProgressDlg;
class CUpdateLog;
class CWinApp;

class CUpdateRun {
  public:
    // The one way a run is made, by the main window's "&Update Now", the tests and the benchmarks: from
    // the settings record in force now, writing back through profile; log: where its steps go, if anywhere.
    CUpdateRun(CSettings& settings, CWinApp& profile, CUpdateLog* log = nullptr);
    ~CUpdateRun();
    CUpdateRun(const CUpdateRun&) = delete;
    CUpdateRun& operator=(const CUpdateRun&) = delete;

    BOOL OpenProgressWindow(BOOL showControls);
    // Brings the progress window forward with a phase text, and serves the messages.
    void ShowStatus(CString text);
    void CloseProgressWindow();
    void PumpMessages();
    // Starts a package and waits for its end (m_installerExitCode); the hold on it ends once it started.
    BOOL RunInstaller(CString path);
    // Whether the program is to close: a run that waits on the network ends instead of waiting on.
    bool CloseRequested() const { return m_closeRequested && m_closeRequested(); }
    // A line in the run's log, if it keeps one.
    void Note(const std::string& text) const;

    CRunSnapshot m_snapshot;
    CString m_errorText;
    std::unique_ptr<CTransferProgressDlg> m_progress;
    CPackageTrust m_trust;
    DWORD m_installerExitCode = 0;
    std::function<bool()> m_closeRequested;
    // Right before an admitted package starts.
    std::function<void()> m_beforePackageStart;

  private:
    CUpdateLog* m_log;
};
