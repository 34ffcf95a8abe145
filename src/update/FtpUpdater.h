// The FTP channel of an update run: the connection to the server, the listing's newest dated package (or,
// where signed update lists are required, the list's) and its transfer. Its progress-window and
// error-text operations and fields are the run's, which it works inside.
#pragma once

#include "InternetHandle.h"
#include "UpdatePipeline.h"
#include "core/PackageName.h"
#include "framework/Afx.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class CTransferProgressDlg;
class CUpdateRun;

class CFtpUpdater {
  public:
    CFtpUpdater(CUpdateRun& run, CString server, CString userName, CString password, CString remoteFolder,
                int passive);
    ~CFtpUpdater();
    CFtpUpdater(const CFtpUpdater&) = delete;
    CFtpUpdater& operator=(const CFtpUpdater&) = delete;

    BOOL Connect();
    // An empty folder keeps the stored remote folder; another one replaces it.
    BOOL InstallNewestPackage(CString folder);
    void CloseInternetHandles();
    BOOL OpenProgressWindow(BOOL showControls);
    void ShowStatus(CString text);
    void CloseProgressWindow();
    void PumpMessages();
    BOOL RunInstaller(CString path);
    // FALSE, date untouched, unless the name starts with a real calendar date as YYMMDD.
    BOOL ParsePackageDate(CString name, PackageDate& date);

    CString& m_errorText; // the run's
    CInternetHandle m_hInternet;
    CInternetHandle m_hConnection;
    CString m_server;
    CString m_userName;
    CString m_password;
    CString m_remoteFolder;
    int m_passive;
    std::uint64_t m_bytesReceived = 0; // also written by the status callback
    std::uint64_t m_bytesExpected = 0;
    std::unique_ptr<CTransferProgressDlg>& m_progress; // the run's

  private:
    // The channel's two steps: the newest package of the server folder's listing, and its transfer.
    BOOL FindNewestPackage(PackageCandidate& newest);
    BOOL FetchPackage(const PackageCandidate& package, const CString& localPath);
    // Where signed update lists are required: the list and its signature in the server folder decide.
    BOOL FindNewestListed(PackageCandidate& newest);
    std::optional<std::string> ReadSmallFile(const char* name, std::size_t limit);

    CUpdateRun& m_run;
};
