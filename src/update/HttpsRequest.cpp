#include "HttpsRequest.h"

#include "InternetHandle.h"

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

namespace {
constexpr DWORD kRequestFlags = INTERNET_FLAG_SECURE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES |
                                INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                INTERNET_FLAG_KEEP_CONNECTION;
// Keeps a request from signing in to its server by itself (with the user's Windows logon, say); the
// proxy's own sign-in still works.
constexpr DWORD kOptionSuppressServerAuth = 104; // INTERNET_OPTION_SUPPRESS_SERVER_AUTH
// How long a job waits for the run to decide on the body or to take its blocks before it lets go.
constexpr DWORD kRunWaitMs = 10 * 60 * 1000;
// A block that fills slowly goes to the run after this long, so that a cut loses little of a slow line.
constexpr ULONGLONG kBlockFlushMs = 250;
// A job's stack: the platform's TLS and HTTP code need far less than the default megabyte, and a job
// given up keeps its stack for as long as the server holds it.
constexpr SIZE_T kJobStackBytes = 256 * 1024;

std::atomic<int> g_abandoned{0};

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A header of the answer as text; empty when it has none, or one longer than any we read.
std::string QueryText(HINTERNET request, DWORD what) {
    std::string text(1024, '\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(text.size());
        if (::HttpQueryInfoA(request, what, &text[0], &size, nullptr)) {
            text.resize(size);
            return text;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= text.size() ||
            size > kMaxHeaderBytes + 1)
            return std::string();
        text.resize(size);
    }
}
} // namespace

bool IsServerIdentityError(DWORD error) {
    switch (error) {
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case 12179: // ERROR_INTERNET_SEC_CERT_WEAK_SIGNATURE
        return true;
    default:
        return false;
    }
}

// Lives until the run and the job have both let go. Only the job touches its WinINet handles.
struct CHttpsRequest::Shared {
    Shared(HttpsJob what, PaceLimits limits)
        : job(std::move(what)), pace(limits), go(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

    // The job's side.
    bool GivenUp() {
        std::lock_guard<std::mutex> hold(lock);
        return givenUp;
    }
    // Waiting on the server (the clock runs) or on the run (it stands).
    void OnServer(bool server) {
        const ULONGLONG now = ::GetTickCount64();
        std::lock_guard<std::mutex> hold(lock);
        server ? clock.Run(now) : clock.Stop(now);
    }
    // An answer (no bytes) or bytes of the body; false once given up.
    bool Arrived(std::uint64_t bytes) {
        const ULONGLONG now = ::GetTickCount64();
        std::lock_guard<std::mutex> hold(lock);
        pace.Arrived(clock.At(now), bytes);
        received += bytes;
        return !givenUp;
    }
    void Publish(Stage reached, HttpsResult outcome, const HttpsAnswer* answered = nullptr) {
        {
            std::lock_guard<std::mutex> hold(lock);
            stage = reached;
            result = outcome;
            if (answered)
                answer = *answered;
        }
        pipe.WakeWriter();
    }
    // Whether the run wants the body, and how much of it; the clock stands meanwhile.
    bool AwaitRead(std::uint64_t& bytes) {
        OnServer(false);
        const ULONGLONG start = ::GetTickCount64();
        for (;;) {
            {
                std::lock_guard<std::mutex> hold(lock);
                if (givenUp)
                    return false;
                if (readWanted) {
                    bytes = most;
                    stage = Stage::Reading;
                    pace.BeginBody(clock.At(::GetTickCount64()));
                    clock.Run(::GetTickCount64());
                    return true;
                }
            }
            const ULONGLONG waited = ::GetTickCount64() - start;
            if (waited >= kRunWaitMs || !go)
                return false;
            ::WaitForSingleObject(go.Get(), static_cast<DWORD>(kRunWaitMs - waited));
        }
    }
    void Finished() {
        std::lock_guard<std::mutex> hold(lock);
        finished = true;
        if (abandoned)
            --g_abandoned;
        abandoned = false;
    }

    const HttpsJob job;
    mutable std::mutex lock;
    Stage stage = Stage::Asking;
    HttpsResult result = HttpsResult::Cut;
    HttpsAnswer answer;
    bool givenUp = false;
    bool finished = false;  // the job's thread has let go of everything
    bool abandoned = false; // given up before that, and counted
    bool readWanted = false;
    std::uint64_t most = 0;
    std::uint64_t received = 0;
    CServerClock clock;
    CTransferPace pace;
    CBlockPipe pipe;
    CHandle go; // the run's decision on the body, or its give-up
};

CHttpsRequest::CHttpsRequest(HttpsJob job, PaceLimits limits)
    : m_shared(std::make_shared<Shared>(std::move(job), limits)) {}

CHttpsRequest::~CHttpsRequest() {
    GiveUp();
}

int CHttpsRequest::Abandoned() {
    return g_abandoned;
}

bool CHttpsRequest::Start() {
    if (g_abandoned >= kMaxAbandoned || !m_shared->go || !m_shared->pipe.Ready())
        return false;
    auto job = std::make_unique<std::shared_ptr<Shared>>(m_shared);
    CHandle thread(::CreateThread(nullptr, kJobStackBytes, &CHttpsRequest::Main, job.get(),
                                  STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread)
        return false;
    job.release(); // the thread's now
    return true;
}

CHttpsRequest::State CHttpsRequest::Look() const {
    const ULONGLONG now = ::GetTickCount64();
    std::lock_guard<std::mutex> hold(m_shared->lock);
    return State{m_shared->stage, m_shared->result, m_shared->pace.Judge(m_shared->clock.At(now)),
                 m_shared->received};
}

HttpsAnswer CHttpsRequest::Answer() const {
    std::lock_guard<std::mutex> hold(m_shared->lock);
    return m_shared->answer;
}

void CHttpsRequest::Read(std::uint64_t most) {
    {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        m_shared->readWanted = true;
        m_shared->most = most;
    }
    ::SetEvent(m_shared->go.Get());
}

bool CHttpsRequest::Drain(const CBlockPipe::Sink& sink) {
    return m_shared->pipe.Drain(sink);
}

HANDLE CHttpsRequest::Ready() const {
    return m_shared->pipe.Ready();
}

void CHttpsRequest::GiveUp() {
    {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        if (m_shared->givenUp)
            return;
        m_shared->givenUp = true;
        if (!m_shared->finished) {
            m_shared->abandoned = true;
            ++g_abandoned;
        }
    }
    m_shared->pipe.Stop();
    ::SetEvent(m_shared->go.Get());
}

DWORD WINAPI CHttpsRequest::Main(LPVOID shared) {
    std::unique_ptr<std::shared_ptr<Shared>> owned(static_cast<std::shared_ptr<Shared>*>(shared));
    Perform(**owned);
    (*owned)->Finished();
    return 0;
}

void CHttpsRequest::Perform(Shared& shared) {
    const HttpsJob& job = shared.job;
    shared.OnServer(true);
    // Declared in the order made: each is closed before the one it was made from.
    CInternetHandle session(
        ::InternetOpenA(job.agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session)
        return shared.Publish(Stage::Ended, HttpsResult::Cut);
    SetTransferTimeouts(session);
    CInternetHandle home(::InternetConnectA(session, job.server.host.c_str(), job.server.port,
                                            job.userName.empty() ? nullptr : job.userName.c_str(),
                                            job.password.empty() ? nullptr : job.password.c_str(),
                                            INTERNET_SERVICE_HTTP, INTERNET_FLAG_SECURE, 0));
    if (!home)
        return shared.Publish(Stage::Ended, HttpsResult::Cut);
    CInternetHandle elsewhere; // a server a redirect named, without our sign-in
    CInternetHandle request;
    HttpsOrigin current = job.server;
    bool signIn = true;
    std::string target = job.path;
    DWORD status = 0;
    const char* accept[] = {"*/*", nullptr};
    for (int hop = 1;; ++hop) {
        if (shared.GivenUp())
            return;
        const HINTERNET connection = signIn ? home.Get() : elsewhere.Get();
        request.Reset(::HttpOpenRequestA(connection, "GET", target.c_str(), nullptr, nullptr, accept,
                                         kRequestFlags, 0));
        // No credentials of any kind go to another server: where the platform cannot keep it from
        // signing in by itself, it signs in nowhere.
        if (request && !signIn && !::InternetSetOptionA(request, kOptionSuppressServerAuth, nullptr, 0))
            request.Reset(::HttpOpenRequestA(connection, "GET", target.c_str(), nullptr, nullptr, accept,
                                             kRequestFlags | INTERNET_FLAG_NO_AUTH, 0));
        if (!request)
            return shared.Publish(Stage::Ended, HttpsResult::Cut);
        if (!::HttpSendRequestA(request, job.headers.empty() ? nullptr : job.headers.c_str(),
                                static_cast<DWORD>(job.headers.size()), nullptr, 0))
            return shared.Publish(Stage::Ended, IsServerIdentityError(::GetLastError())
                                                    ? HttpsResult::Untrusted
                                                    : HttpsResult::Cut);
        if (!shared.Arrived(0))
            return;
        DWORD size = sizeof status;
        if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                              nullptr))
            return shared.Publish(Stage::Ended, HttpsResult::Cut);
        if (!IsRedirect(status))
            break;
        const RedirectStep next =
            NextRedirect(QueryText(request, HTTP_QUERY_LOCATION), current, job.server, hop);
        if (!next.follow)
            return shared.Publish(Stage::Ended, HttpsResult::Refused);
        const bool sameOrigin = SameHost(next.origin.host, current.host) && next.origin.port == current.port;
        if (!next.signIn && (signIn || !sameOrigin)) {
            // Another server: a connection of its own, open for as long as the request that follows.
            request.Close();
            elsewhere.Reset(::InternetConnectA(session, next.origin.host.c_str(), next.origin.port, nullptr,
                                               nullptr, INTERNET_SERVICE_HTTP, INTERNET_FLAG_SECURE, 0));
            if (!elsewhere)
                return shared.Publish(Stage::Ended, HttpsResult::Cut);
        }
        current = next.origin;
        signIn = next.signIn;
        target = next.path;
    }
    const HttpsAnswer answer{
        status, QueryText(request, HTTP_QUERY_CONTENT_RANGE), QueryText(request, HTTP_QUERY_CONTENT_LENGTH),
        QueryText(request, HTTP_QUERY_ETAG), QueryText(request, HTTP_QUERY_LAST_MODIFIED)};
    shared.Publish(Stage::Answered, HttpsResult::Complete, &answer);

    std::uint64_t most = 0;
    if (!shared.AwaitRead(most))
        return; // the body is not wanted
    HttpsResult ended = HttpsResult::Complete;
    std::uint64_t total = 0;
    std::vector<char> block;
    DWORD used = 0;
    ULONGLONG blockStart = 0;
    while (total < most) {
        if (block.empty()) {
            shared.OnServer(false);
            const bool taken = shared.pipe.TakeEmpty(block, kRunWaitMs);
            shared.OnServer(true);
            if (!taken)
                return; // the run wants no more
            used = 0;
        }
        // As much as has arrived, never more: a read waits for all it asks for, and a slow line must be
        // seen to be alive.
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(request, &available, 0, 0)) {
            ended = HttpsResult::Cut; // reset, or ended before its length
            break;
        }
        if (available == 0)
            break;
        if (used == 0)
            blockStart = ::GetTickCount64();
        const std::uint64_t left = most - total;
        DWORD want = static_cast<DWORD>(block.size()) - used;
        want = available < want ? available : want;
        want = left < want ? static_cast<DWORD>(left) : want;
        DWORD got = 0;
        if (!::InternetReadFile(request, block.data() + used, want, &got)) {
            ended = HttpsResult::Cut;
            break;
        }
        if (got == 0)
            break;
        used += got;
        total += got;
        if (!shared.Arrived(got))
            return;
        if (used == block.size() || ::GetTickCount64() - blockStart >= kBlockFlushMs) {
            shared.pipe.PutFull(std::move(block), used);
            block.clear();
            used = 0;
        }
    }
    if (used > 0)
        shared.pipe.PutFull(std::move(block), used);
    shared.Publish(Stage::Ended, ended);
}
