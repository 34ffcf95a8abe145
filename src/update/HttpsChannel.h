// The HTTPS channel: the update list Pendlemark.feed in the server folder names the packages, and a
// package is fetched with resumable requests through the user's proxy settings. It works inside the update
// run (CUpdateRun), whose settings, progress window, trust and package start it uses. The network is
// waited for, never blocked on: the window stays alive and Cancel works in every phase.
#pragma once

#include "HttpsClient.h"
#include "Sha256.h"
#include "UpdateList.h"
#include "UpdatePipeline.h"
#include "core/ServerAddress.h"
#include "framework/Afx.h"
#include "framework/Handles.h"

#include <memory>
#include <optional>
#include <string>

class CUpdateRun;

// How long any phase of a request (connecting, the answer, the list, the signature, the package) may
// receive nothing before it counts as cut; the floor of a transfer's pace, below which it is cut as well;
// and the pause before a cut one is taken up again.
constexpr DWORD kHttpsIdleLimitMs = 60000;
constexpr DWORD kHttpsFloorWindowMs = 120000;
constexpr DWORD kHttpsFloorBytes = 4096;
constexpr DWORD kHttpsRetryPauseMs = 1000;

class CHttpsChannel {
  public:
    // The server, its sign-in and the folder of the run's snapshot.
    explicit CHttpsChannel(CUpdateRun& run);
    CHttpsChannel(const CHttpsChannel&) = delete;
    CHttpsChannel& operator=(const CHttpsChannel&) = delete;

    // Nothing is sent yet: the first request connects.
    BOOL Connect();
    // The shared update steps with this channel's list and transfer; TRUE when a package ran.
    BOOL InstallNewestPackage();
    void CloseInternetHandles();

    // The channel's two steps: the newest package the update list offers, and its transfer to localPath.
    BOOL FindNewestPackage(PackageCandidate& newest);
    BOOL FetchPackage(const PackageCandidate& package, const CString& localPath, FetchedPackage& fetched);

    // The limits above unless a test shortens them.
    void SetLimits(const PaceLimits& limits, DWORD retryPauseMs) {
        m_client.m_limits = limits;
        m_retryPauseMs = retryPauseMs;
    }
    static PaceLimits DefaultLimits() {
        return PaceLimits{kHttpsIdleLimitMs, kHttpsFloorWindowMs, kHttpsFloorBytes};
    }

  private:
    // The part file of the package being fetched, written only through this handle, and the digest of
    // what it holds, taken as the bytes arrive.
    struct Part {
        CHandle file;
        std::unique_ptr<CSha256> hash;
        std::uint64_t size = 0; // bytes in the file and in the hash
    };
    HttpsResult TransferOnce(const PackageCandidate& package, Part& part);
    // Keeps the part's first bytes, the rest cut off, with their digest; FALSE when the file fails.
    static bool KeepFirst(Part& part, std::uint64_t bytes);
    // A small file of the server folder, read whole; nothing when missing or longer than limit. A cut
    // read is taken up again as a cut transfer is.
    HttpsResult ReadSmallFile(const std::string& name, std::size_t limit,
                              std::optional<std::string>& content);
    HttpsResult ReadSmallFileOnce(const std::string& name, std::size_t limit,
                                  std::optional<std::string>& content);
    // The pause before a cut request is taken up again; FALSE when the run is to stop instead.
    bool PauseBeforeRetry();
    // While a request is waited for: the messages served, no Cancel and no close of the program (the bar
    // moved on the way), and Cancel seen while another dialog served them.
    void Serve();
    bool GoOn();
    void StoppedAway();
    void DeleteStaleParts(const CString& keep) const;

    std::string m_folder; // as the URL path: starts and ends with "/"
    CUpdateRun& m_run;
    CHttpsClient m_client;
    CUpdateList m_list;
    DWORD m_retryPauseMs = kHttpsRetryPauseMs;
    // While a package's bytes are read: what the part held before and the whole, for the bar.
    bool m_reading = false;
    std::uint64_t m_transferBase = 0;
    std::uint64_t m_transferSize = 0;
};
