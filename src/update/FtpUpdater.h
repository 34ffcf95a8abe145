// One update against the FTP server: the run's progress window and connection, and the FTP channel
// (the listing's newest dated package and its transfer) of the shared update steps.
#pragma once

#include "InternetHandle.h"
#include "PackageTrust.h"
#include "UpdatePipeline.h"
#include "core/PackageName.h"
#include "framework/Afx.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class CTransferProgressDlg;

class CFtpUpdater {
  public:
    CFtpUpdater(CString server, CString userName, CString password, CString remoteFolder, int passive);
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

    CString m_errorText;
    CInternetHandle m_hInternet;
    CInternetHandle m_hConnection;
    CString m_server;
    CString m_userName;
    CString m_password;
    CString m_remoteFolder;
    int m_passive;
    std::uint64_t m_bytesReceived = 0; // also written by the status callback
    std::uint64_t m_bytesExpected = 0;
    std::unique_ptr<CTransferProgressDlg> m_progress;
    // The publishers pinned when this run began, and the hold on the package between check and start.
    CPackageTrust m_trust;
    // What the run knows of the settings: where packages go and which one ran last.
    UpdateContext m_context;
    DWORD m_installerExitCode = 0; // of the package RunInstaller waited for
    // Whether the program is to close: a run that waits on the network ends instead of waiting on.
    std::function<bool()> m_closeRequested;

    // The steps every channel shares with this run: the progress window closed after the transfer,
    // and the package started through RunInstaller.
    PackageChannel SharedSteps();

  private:
    // The channel's two steps: the newest package of the server folder's listing, and its transfer.
    BOOL FindNewestPackage(PackageCandidate& newest);
    BOOL FetchPackage(const PackageCandidate& package, const CString& localPath);
    // Where signed update lists are required: the list and its signature in the server folder decide.
    BOOL FindNewestListed(PackageCandidate& newest);
    std::optional<std::string> ReadSmallFile(const char* name, std::size_t limit);
};
