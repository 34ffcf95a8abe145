// The HTTPS channel's side of the network: a session through the user's proxy settings, the configured
// server with its sign-in, and one GET at a time with the redirects it follows. Every call waits on a
// worker the run can give up (CNetworkWorker), so the user-interface thread never waits on the network;
// after a give-up the next request starts on a fresh worker and session.
#pragma once

#include "NetworkWorker.h"
#include "core/ServerAddress.h"
#include "framework/Afx.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// How a request, or a transfer made of requests, ended.
enum class HttpsResult {
    Complete,  // answered, or the body read
    Cut,       // the connection failed, closed early, or received nothing for the idle limit
    Mismatch,  // not what the update list says
    Refused,   // an answer that cannot be used: a redirect elsewhere than HTTPS, a status, a file not written
    Untrusted, // the server's identity could not be verified
    Aborted    // Cancel, or a close of the program
};

// The platform's answers for a server certificate it does not trust, of another name, out of date or
// revoked, or a secure channel it could not set up.
bool IsServerIdentityError(DWORD error);

class CHttpsClient {
  public:
    // keepWaiting serves the caller's messages while it waits and says whether to go on.
    CHttpsClient(ServerAddress server, CString userName, CString password, DWORD idleMs,
                 std::function<bool()> keepWaiting);
    ~CHttpsClient();
    CHttpsClient(const CHttpsClient&) = delete;
    CHttpsClient& operator=(const CHttpsClient&) = delete;

    // The session and the connection to the configured server, made on the worker (finding the proxy
    // may take its time); nothing is sent yet. Complete, or Cut when the platform could make neither.
    HttpsResult Open();
    // Lets go of the worker and its handles; a step still running is given up.
    void Close();

    // GET of a path of the configured server (escaped, starting with "/") with extra header lines.
    // Redirects are followed over HTTPS only, at most five, the sign-in going to the configured server
    // only. Complete with the final answer's status.
    HttpsResult Get(const std::string& path, const std::string& headers, DWORD& status);
    // A header of the answer Get gave, as text; empty when it has none.
    std::string Header(DWORD what) const;
    // The answer's body up to most bytes, or to its end; every block goes to sink, in order, on this
    // thread while the worker reads the next ones. Complete at either end; Cut when the connection failed
    // or fell silent; Refused when sink said no. What arrived before a cut or Cancel has been given to
    // sink too.
    using Sink = std::function<bool(const char* data, DWORD size)>;
    HttpsResult Read(std::uint64_t most, const Sink& sink);
    // Bytes the running read has received so far.
    std::uint64_t Received() const;

    // How long a request may receive nothing before it counts as cut.
    DWORD m_idleMs;

  private:
    HttpsResult Wait(CNetworkWorker::Step step, HANDLE wake = nullptr,
                     const std::function<bool()>& onWake = {});
    // Session and connection as a step makes them: copies of what the worker has, or new ones.
    struct Handles {
        HINTERNET session = nullptr;
        HINTERNET connection = nullptr;
    };
    // What the steps need to make them, copied: a step given up outlives this object.
    std::function<bool(CNetworkWorker::CStep& on, Handles& handles)> Opener() const;

    ServerAddress m_server;
    CString m_userName;
    CString m_password;
    std::function<bool()> m_keepWaiting;
    std::unique_ptr<CNetworkWorker> m_worker;
    // The worker's handles, usable between its steps; null after a give-up.
    HINTERNET m_session = nullptr;
    HINTERNET m_connection = nullptr;
    HINTERNET m_request = nullptr;
};
