// One GET of the HTTPS channel as one job on a thread of its own: its session, connections and request
// are locals of that thread, made and closed there. The run and the job share only a small
// reference-counted record under one lock: the answer, the blocks of the body (CBlockPipe), the pace of
// the transfer and whether the run has given up. Neither a receive time-out nor closing a handle from
// another thread wakes a blocked read on every platform, so a job given up may stay blocked until the
// server lets go; it then ends without reaching the run again.
#pragma once

#include "BlockPipe.h"
#include "core/HttpText.h"
#include "core/TransferPace.h"
#include "framework/Afx.h"

#include <cstdint>
#include <memory>
#include <string>

// How a request, or a transfer made of requests, ended.
enum class HttpsResult {
    Complete,  // answered, or the body read
    Cut,       // the connection failed, closed early, or the server was silent or too slow
    Mismatch,  // not what the update list says
    Refused,   // an answer that cannot be used: a redirect elsewhere than HTTPS, a status, a file not written
    Untrusted, // the server's identity could not be verified
    Aborted    // Cancel, or a close of the program
};

// The platform's answers for a server certificate it does not trust, of another name, out of date or
// revoked, or a secure channel it could not set up.
bool IsServerIdentityError(DWORD error);

// What a request asked of the configured server (through the user's proxy settings).
struct HttpsJob {
    HttpsOrigin server;
    CString userName; // the sign-in, for the configured server only
    CString password;
    std::string agent;
    std::string path; // escaped, starting with "/"
    std::string headers;
};

// The final answer, after the redirects followed.
struct HttpsAnswer {
    DWORD status = 0;
    std::string contentRange;
    std::string contentLength;
    std::string etag;
    std::string lastModified;
};

class CHttpsRequest {
  public:
    enum class Stage { Asking, Answered, Reading, Ended };
    // The run's look at the job.
    struct State {
        Stage stage = Stage::Asking;
        HttpsResult result = HttpsResult::Cut; // of the answer once answered, of the body once ended
        CTransferPace::Verdict pace = CTransferPace::Verdict::Live;
        std::uint64_t received = 0; // bytes of the body
    };

    CHttpsRequest(HttpsJob job, PaceLimits limits);
    // Gives up a job still running.
    ~CHttpsRequest();
    CHttpsRequest(const CHttpsRequest&) = delete;
    CHttpsRequest& operator=(const CHttpsRequest&) = delete;

    // Starts the job; false when no thread could be made, or too many given up are still blocked.
    bool Start();
    State Look() const;
    // Once answered.
    HttpsAnswer Answer() const;
    // Reads up to most bytes of the body into the blocks the run drains.
    void Read(std::uint64_t most);
    bool Drain(const CBlockPipe::Sink& sink);
    // Signalled when something of the job waits for the run.
    HANDLE Ready() const;
    void GiveUp();

    // Jobs given up that have not ended yet, in the whole process; a resident program keeps their count
    // bounded by refusing new requests at kMaxAbandoned.
    static int Abandoned();
    static constexpr int kMaxAbandoned = 6;

  private:
    struct Shared;
    static DWORD WINAPI Main(LPVOID shared);
    static void Perform(Shared& shared);

    std::shared_ptr<Shared> m_shared;
};
