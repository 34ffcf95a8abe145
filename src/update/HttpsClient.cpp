#include "HttpsClient.h"

#include "system/ProgramIdentity.h"

#include <utility>

namespace {
// How often the waiting thread looks when nothing wakes it, and serves its messages at the least.
constexpr DWORD kWaitSliceMs = 100;
constexpr ULONGLONG kServeMs = 50;
// How often the thread timer looks while another loop serves the messages.
constexpr UINT kAwayLookMs = 100;

// The client waiting on this thread, for its timer.
thread_local CHttpsClient* t_waiting = nullptr;
} // namespace

CHttpsClient::CHttpsClient(ServerAddress server, CString userName, CString password, Watch watch)
    : m_server(std::move(server)), m_userName(std::move(userName)), m_password(std::move(password)),
      m_agent("Pendlemark/" + RunningProgramVersion()), m_watch(std::move(watch)) {}

CHttpsClient::~CHttpsClient() = default;

HttpsResult CHttpsClient::Open() {
    return CHttpsRequest::Abandoned() < CHttpsRequest::kMaxAbandoned ? HttpsResult::Complete
                                                                     : HttpsResult::Cut;
}

void CHttpsClient::Close() {
    m_request.reset();
}

std::uint64_t CHttpsClient::Received() const {
    return m_request ? m_request->Look().received : 0;
}

HttpsResult CHttpsClient::Get(const std::string& path, const std::string& headers, DWORD& status) {
    // The request before, whose body nobody wants any more, goes first.
    m_request.reset();
    m_answer = HttpsAnswer{};
    HttpsJob job{HttpsOrigin{m_server.host, m_server.port}, m_userName, m_password, m_agent, path, headers};
    m_request = std::make_unique<CHttpsRequest>(std::move(job), m_limits);
    if (!m_request->Start()) {
        m_request.reset();
        return HttpsResult::Cut;
    }
    const HttpsResult answered = Wait(Until::Answer);
    if (answered != HttpsResult::Complete) {
        m_request.reset();
        return answered;
    }
    m_answer = m_request->Answer();
    status = m_answer.status;
    return HttpsResult::Complete;
}

HttpsResult CHttpsClient::Read(std::uint64_t most, const CBlockPipe::Sink& sink) {
    if (!m_request)
        return HttpsResult::Cut;
    m_request->Read(most);
    m_sink = &sink;
    const HttpsResult result = Wait(Until::End);
    // What arrived before a cut or Cancel is kept too.
    if (result == HttpsResult::Cut || result == HttpsResult::Aborted)
        m_request->Drain(sink);
    m_sink = nullptr;
    m_request.reset();
    return result;
}

bool CHttpsClient::Pause(DWORD ms) {
    return Wait(Until::Time, ms) == HttpsResult::Complete;
}

HttpsResult CHttpsClient::Wait(Until until, DWORD ms) {
    m_until = until;
    m_outcome.reset();
    CHttpsClient* const outer = t_waiting;
    t_waiting = this;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, kAwayLookMs, &CHttpsClient::OnTimer);
    const HANDLE ready = until != Until::Time && m_request ? m_request->Ready() : nullptr;
    const ULONGLONG start = ::GetTickCount64();
    ULONGLONG served = start;
    std::optional<HttpsResult> outcome;
    while (!(outcome = Look(false))) {
        const ULONGLONG now = ::GetTickCount64();
        if (until == Until::Time && now - start >= ms) {
            outcome = HttpsResult::Complete;
            break;
        }
        const DWORD slice = until == Until::Time && ms - (now - start) < kWaitSliceMs
                                ? static_cast<DWORD>(ms - (now - start))
                                : kWaitSliceMs;
        const DWORD woken = ::MsgWaitForMultipleObjects(ready ? 1 : 0, &ready, FALSE, slice, QS_ALLINPUT);
        if (woken == WAIT_FAILED)
            ::Sleep(kWaitSliceMs);
        // A block that arrived is taken at once; the messages wait for their own wake, or a little.
        if (woken != WAIT_OBJECT_0 || !ready || ::GetTickCount64() - served >= kServeMs) {
            m_watch.serve();
            served = ::GetTickCount64();
        }
    }
    if (timer)
        ::KillTimer(nullptr, timer);
    t_waiting = outer;
    return *outcome;
}

void CALLBACK CHttpsClient::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (CHttpsClient* client = t_waiting)
        client->Look(true);
}

std::optional<HttpsResult> CHttpsClient::Look(bool away) {
    if (m_outcome)
        return m_outcome;
    // The sink and the watch serve no messages; this guards against one that does.
    if (m_looking)
        return std::nullopt;
    m_looking = true;
    m_outcome = LookOnce(away);
    m_looking = false;
    return m_outcome;
}

std::optional<HttpsResult> CHttpsClient::LookOnce(bool away) {
    if (m_until != Until::Time && m_request) {
        if (m_sink && !m_request->Drain(*m_sink)) {
            m_request->GiveUp();
            return HttpsResult::Refused;
        }
        const CHttpsRequest::State state = m_request->Look();
        if (m_until == Until::Answer && state.stage != CHttpsRequest::Stage::Asking)
            return state.stage == CHttpsRequest::Stage::Ended ? state.result : HttpsResult::Complete;
        if (m_until == Until::End && state.stage == CHttpsRequest::Stage::Ended) {
            // The blocks put before the end.
            if (m_sink && !m_request->Drain(*m_sink))
                return HttpsResult::Refused;
            return state.result;
        }
        if (state.pace != CTransferPace::Verdict::Live) {
            m_request->GiveUp();
            return HttpsResult::Cut;
        }
    }
    if (m_watch.goOn && !m_watch.goOn()) {
        if (m_request)
            m_request->GiveUp();
        if (away && m_watch.stoppedAway)
            m_watch.stoppedAway();
        return HttpsResult::Aborted;
    }
    return std::nullopt;
}
