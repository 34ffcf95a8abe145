#include "HttpsClient.h"

#include "BlockPipe.h"
#include "InternetHandle.h"
#include "system/ProgramIdentity.h"

#include <utility>
#include <vector>

namespace {
constexpr int kMaxRedirects = 5;
constexpr DWORD kRequestFlags = INTERNET_FLAG_SECURE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES |
                                INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                INTERNET_FLAG_KEEP_CONNECTION;

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string QueryText(HINTERNET request, DWORD what) {
    char text[1024];
    DWORD size = sizeof text;
    if (!request || !::HttpQueryInfoA(request, what, text, &size, nullptr))
        return std::string();
    return std::string(text, size);
}

// Where a redirect sends the request: a path on the same connection, or another server's.
struct Target {
    std::string host; // empty: the same connection
    INTERNET_PORT port = 0;
    std::string path;
};

// Followed over HTTPS only: never to another scheme.
bool RedirectTarget(const std::string& location, Target& target) {
    if (!location.empty() && location.front() == '/') {
        target = Target{std::string(), 0, location};
        return true;
    }
    char host[256] = "";
    char urlPath[2048] = "";
    char extra[2048] = ""; // a content delivery network's signed address carries its query
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = urlPath;
    parts.dwUrlPathLength = sizeof urlPath;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = sizeof extra;
    if (location.empty() || !::InternetCrackUrlA(location.c_str(), 0, 0, &parts) ||
        parts.nScheme != INTERNET_SCHEME_HTTPS)
        return false;
    std::string query = extra;
    query = query.substr(0, query.find('#')); // the fragment stays with the client
    target = Target{host, parts.nPort, (urlPath[0] ? urlPath : "/") + query};
    return true;
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

CHttpsClient::CHttpsClient(ServerAddress server, CString userName, CString password, DWORD idleMs,
                           std::function<bool()> keepWaiting)
    : m_idleMs(idleMs), m_server(std::move(server)), m_userName(std::move(userName)),
      m_password(std::move(password)), m_keepWaiting(std::move(keepWaiting)) {}

CHttpsClient::~CHttpsClient() = default;

std::uint64_t CHttpsClient::Received() const {
    return m_worker ? m_worker->Received() : 0;
}

std::string CHttpsClient::Header(DWORD what) const {
    return QueryText(m_request, what);
}

HttpsResult CHttpsClient::Wait(CNetworkWorker::Step step, HANDLE wake, const std::function<bool()>& onWake) {
    if (!m_worker || m_worker->GivenUp()) {
        // A worker given up keeps its handles until its blocked call returns: start afresh.
        m_worker = std::make_unique<CNetworkWorker>(m_idleMs, m_keepWaiting);
        m_session = m_connection = m_request = nullptr;
    }
    switch (m_worker->Run(std::move(step), wake, onWake)) {
    case CNetworkWorker::Outcome::Done:
        return HttpsResult::Complete;
    case CNetworkWorker::Outcome::Silent:
        m_session = m_connection = m_request = nullptr;
        return HttpsResult::Cut;
    default:
        m_session = m_connection = m_request = nullptr;
        return HttpsResult::Aborted;
    }
}

std::function<bool(CNetworkWorker::CStep& on, CHttpsClient::Handles& handles)> CHttpsClient::Opener() const {
    const std::string agent = "Pendlemark/" + RunningProgramVersion();
    const std::string host = m_server.host;
    const INTERNET_PORT port = m_server.port;
    const CString user = m_userName;
    const CString password = m_password;
    return [=](CNetworkWorker::CStep& on, Handles& handles) {
        if (!handles.session) {
            // The user's own proxy settings, with its sign-in, as every program of the desktop uses them.
            handles.session =
                on.Own(::InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
            if (!handles.session)
                return false;
            SetTransferTimeouts(handles.session);
        }
        if (!handles.connection)
            handles.connection = on.Own(::InternetConnectA(handles.session, host.c_str(), port,
                                                           user.empty() ? nullptr : user.c_str(),
                                                           password.empty() ? nullptr : password.c_str(),
                                                           INTERNET_SERVICE_HTTP, INTERNET_FLAG_SECURE, 0));
        return handles.connection != nullptr;
    };
}

HttpsResult CHttpsClient::Open() {
    Handles opened{m_session, m_connection};
    bool done = false;
    const auto open = Opener();
    const HttpsResult waited = Wait([=, &opened, &done](CNetworkWorker::CStep& on) {
        Handles made = opened;
        const bool ok = open(on, made);
        on.WithCaller([&] {
            opened = made;
            done = ok;
        });
    });
    if (waited != HttpsResult::Complete)
        return waited;
    m_session = opened.session;
    m_connection = opened.connection;
    return done ? HttpsResult::Complete : HttpsResult::Cut;
}

void CHttpsClient::Close() {
    m_worker.reset();
    m_session = m_connection = m_request = nullptr;
}

HttpsResult CHttpsClient::Get(const std::string& path, const std::string& headers, DWORD& status) {
    // Everything the step needs is copied into it: a step given up outlives this call and this object,
    // which it reaches only through WithCaller.
    struct Answer {
        HttpsResult result = HttpsResult::Cut;
        Handles handles;
        HINTERNET request = nullptr;
        DWORD status = 0;
    };
    Answer answer;
    const auto open = Opener();
    const std::string host = m_server.host;
    const INTERNET_PORT port = m_server.port;
    const Answer start{HttpsResult::Cut, {m_session, m_connection}, nullptr, 0};
    const HINTERNET previous = m_request;
    const CNetworkWorker::Step step = [=, &answer](CNetworkWorker::CStep& on) {
        Answer got = start;
        auto report = [&] { on.WithCaller([&] { answer = got; }); };
        if (previous)
            on.Close(previous);
        if (!open(on, got.handles))
            return report();
        HINTERNET connection = got.handles.connection;
        std::string target = path;
        for (int hop = 0; hop <= kMaxRedirects; ++hop) {
            const char* accept[] = {"*/*", nullptr};
            if (got.request)
                on.Close(got.request);
            got.request = on.Own(::HttpOpenRequestA(connection, "GET", target.c_str(), nullptr, nullptr,
                                                    accept, kRequestFlags, 0));
            if (!got.request)
                return report();
            if (!::HttpSendRequestA(got.request, headers.empty() ? nullptr : headers.c_str(),
                                    static_cast<DWORD>(headers.size()), nullptr, 0)) {
                if (IsServerIdentityError(::GetLastError()))
                    got.result = HttpsResult::Untrusted;
                return report();
            }
            on.Alive();
            DWORD size = sizeof got.status;
            if (!::HttpQueryInfoA(got.request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &got.status,
                                  &size, nullptr))
                return report();
            if (!IsRedirect(got.status)) {
                got.result = HttpsResult::Complete;
                return report();
            }
            Target next;
            got.result = HttpsResult::Refused;
            if (!RedirectTarget(QueryText(got.request, HTTP_QUERY_LOCATION), next))
                return report();
            target = next.path;
            if (next.host.empty())
                continue;
            if (next.host == host && next.port == port) {
                connection = got.handles.connection;
                continue;
            }
            // Another server: without our sign-in, and open for as long as the request that follows.
            connection = on.Own(::InternetConnectA(got.handles.session, next.host.c_str(), next.port, nullptr,
                                                   nullptr, INTERNET_SERVICE_HTTP, INTERNET_FLAG_SECURE, 0));
            if (!connection)
                return report();
        }
        got.result = HttpsResult::Refused;
        report();
    };
    const HttpsResult waited = Wait(step);
    if (waited != HttpsResult::Complete)
        return waited;
    m_session = answer.handles.session;
    m_connection = answer.handles.connection;
    m_request = answer.request;
    status = answer.status;
    return answer.result;
}

HttpsResult CHttpsClient::Read(std::uint64_t most, const Sink& sink) {
    if (!m_request)
        return HttpsResult::Cut;
    // The worker reads while this thread writes what it read: the blocks go round between them.
    auto pipe = std::make_shared<CBlockPipe>();
    HttpsResult result = HttpsResult::Cut;
    const HINTERNET request = m_request;
    const CNetworkWorker::Step step = [=, &result](CNetworkWorker::CStep& on) {
        std::uint64_t total = 0;
        HttpsResult ended = HttpsResult::Complete;
        while (total < most) {
            std::vector<char> buffer;
            if (!pipe->TakeEmpty(buffer))
                return; // the caller wants no more
            const std::uint64_t left = most - total;
            const DWORD want = static_cast<DWORD>(left < buffer.size() ? left : buffer.size());
            DWORD got = 0;
            if (!::InternetReadFile(request, buffer.data(), want, &got)) {
                ended = HttpsResult::Cut; // reset, timed out, or ended before its length
                break;
            }
            if (got == 0)
                break;
            on.Alive(got);
            pipe->PutFull(std::move(buffer), got);
            total += got;
        }
        on.WithCaller([&] { result = ended; });
    };
    bool refused = false;
    const auto drain = [&] {
        refused = !pipe->Drain(sink) || refused;
        return !refused;
    };
    const HttpsResult waited = Wait(step, pipe->Filled(), drain);
    // What arrived before a cut or Cancel is kept too.
    if (!refused)
        drain();
    pipe->Stop();
    if (refused)
        return HttpsResult::Refused;
    return waited != HttpsResult::Complete ? waited : result;
}
