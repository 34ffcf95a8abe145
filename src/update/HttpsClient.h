// The HTTPS channel's side of the network: the configured server with its sign-in through the user's
// proxy settings, one GET at a time with the redirects it follows. Each request is a job of its own
// (CHttpsRequest) that the run waits for, never blocks on: the user-interface thread serves its messages
// meanwhile, and the run gives a request up on Cancel, on a close of the program, or when the server is
// silent or too slow. While another of the program's dialogs runs its own message loop, a thread timer
// keeps taking the blocks and watching Cancel, so that neither waits for the dialog to close.
#pragma once

#include "HttpsRequest.h"
#include "core/ServerAddress.h"
#include "core/TransferPace.h"
#include "framework/Afx.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class CHttpsClient {
  public:
    // What the run does while it waits.
    struct Watch {
        // Serves the thread's messages, and with them the dialogs that the user opens meanwhile.
        std::function<void()> serve;
        // Whether to go on (no Cancel, no close of the program), moving the bar on the way; it serves no
        // messages.
        std::function<bool()> goOn;
        // The run was stopped while another loop of the program served the messages.
        std::function<void()> stoppedAway;
    };

    CHttpsClient(ServerAddress server, CString userName, CString password, Watch watch);
    ~CHttpsClient();
    CHttpsClient(const CHttpsClient&) = delete;
    CHttpsClient& operator=(const CHttpsClient&) = delete;

    // Nothing is sent yet. Cut when too many requests given up earlier are still blocked.
    HttpsResult Open();
    // Lets go of the request in progress.
    void Close();

    // GET of a path of the configured server (escaped, starting with "/") with extra header lines.
    // Complete with the final answer's status.
    HttpsResult Get(const std::string& path, const std::string& headers, DWORD& status);
    // The answer Get gave.
    const HttpsAnswer& Answer() const { return m_answer; }
    // The answer's body up to most bytes, or to its end; every block goes to sink, in order, on this
    // thread while the job reads the next ones. Complete at either end; Cut when the connection failed or
    // the server was silent or too slow; Refused when sink said no. What arrived before a cut or Cancel
    // has been given to sink too.
    HttpsResult Read(std::uint64_t most, const CBlockPipe::Sink& sink);
    // Bytes of the body received so far.
    std::uint64_t Received() const;
    // Waits ms, serving the messages; false when Cancel or a close came first.
    bool Pause(DWORD ms);

    // How long a request may receive nothing, and the floor of a body's pace.
    PaceLimits m_limits;

  private:
    enum class Until { Answer, End, Time };
    HttpsResult Wait(Until until, DWORD ms = 0);
    // One look at the request and the user's wishes: the outcome once the wait is over.
    std::optional<HttpsResult> Look(bool away);
    std::optional<HttpsResult> LookOnce(bool away);
    static void CALLBACK OnTimer(HWND window, UINT message, UINT_PTR id, DWORD time);

    ServerAddress m_server;
    CString m_userName;
    CString m_password;
    std::string m_agent;
    Watch m_watch;
    std::unique_ptr<CHttpsRequest> m_request;
    HttpsAnswer m_answer;
    // The wait in progress.
    Until m_until = Until::Answer;
    const CBlockPipe::Sink* m_sink = nullptr;
    std::optional<HttpsResult> m_outcome;
    bool m_looking = false;
};
