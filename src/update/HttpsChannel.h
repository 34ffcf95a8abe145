// The HTTPS channel: the update list Pendlemark.feed in the server folder names the packages, and a
// package is fetched with resumable requests through the user's proxy settings. It runs inside the
// update run's updater, whose progress window, package trust and shared steps it uses.
#pragma once

#include "InternetHandle.h"
#include "UpdateList.h"
#include "UpdatePipeline.h"
#include "core/ServerAddress.h"
#include "framework/Afx.h"

#include <optional>
#include <string>

class CFtpUpdater;

class CHttpsChannel {
  public:
    CHttpsChannel(ServerAddress server, CString userName, CString password, CString remoteFolder,
                  CFtpUpdater& run);
    CHttpsChannel(const CHttpsChannel&) = delete;
    CHttpsChannel& operator=(const CHttpsChannel&) = delete;

    BOOL Connect();
    // The shared update steps with this channel's list and transfer; TRUE when a package ran.
    BOOL InstallNewestPackage();
    void CloseInternetHandles();

    // The channel's two steps: the newest package the update list offers, and its transfer to localPath.
    BOOL FindNewestPackage(PackageCandidate& newest);
    BOOL FetchPackage(const PackageCandidate& package, const CString& localPath);

    // How long a transfer may receive nothing before it counts as cut.
    DWORD m_idleMs = 60000;

    // How a transfer attempt ended.
    enum class Transfer { Complete, Cut, Mismatch, Refused, Untrusted, Aborted };

  private:
    Transfer TransferOnce(const PackageCandidate& package, const CString& partPath);
    // A GET of a path in the server folder (or where the server sends it, over HTTPS only); the request
    // and its status, or the way it failed.
    Transfer Request(const std::string& name, const std::string& headers, CInternetHandle& request,
                     DWORD& status);
    // A small file of the server folder, read whole; nothing when missing or longer than limit.
    Transfer ReadSmallFile(const std::string& name, std::size_t limit, std::optional<std::string>& content);
    void DeleteStaleParts(const CString& keep) const;

    ServerAddress m_server;
    CString m_userName;
    CString m_password;
    std::string m_folder; // as the URL path: starts and ends with "/"
    CFtpUpdater& m_run;
    CInternetHandle m_hInternet;
    CInternetHandle m_hConnection;
    CUpdateList m_list;
};
