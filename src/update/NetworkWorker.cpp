#include "NetworkWorker.h"

#include <algorithm>

namespace {
// How often the waiting thread looks at the idle time and the caller's wishes when no message comes.
constexpr DWORD kWaitSliceMs = 100;
} // namespace

void CNetworkWorker::CStep::Alive(std::uint64_t bytes) {
    m_shared.lastAlive = ::GetTickCount64();
    if (bytes)
        m_shared.received += bytes;
}

HINTERNET CNetworkWorker::CStep::Own(HINTERNET handle) {
    if (handle) {
        std::lock_guard<std::mutex> lock(m_shared.lock);
        m_shared.handles.push_back(handle);
    }
    return handle;
}

void CNetworkWorker::CStep::Close(HINTERNET handle) {
    std::lock_guard<std::mutex> lock(m_shared.lock);
    auto owned = std::find(m_shared.handles.begin(), m_shared.handles.end(), handle);
    if (owned == m_shared.handles.end())
        return;
    m_shared.handles.erase(owned);
    ::InternetCloseHandle(handle);
}

CNetworkWorker::CStep::Shared::~Shared() {
    // The newest first: a request before the connection it was made on, that before its session.
    for (auto handle = handles.rbegin(); handle != handles.rend(); ++handle)
        ::InternetCloseHandle(*handle);
}

CNetworkWorker::CNetworkWorker(DWORD idleMs, std::function<bool()> keepWaiting)
    : m_idleMs(idleMs), m_keepWaiting(std::move(keepWaiting)), m_shared(std::make_shared<CStep::Shared>()) {
    m_shared->done.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    m_shared->go.Reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
}

CNetworkWorker::~CNetworkWorker() {
    GiveUp();
    // An idle thread ends now, a blocked one once its call returns.
    if (m_shared->go)
        ::SetEvent(m_shared->go.Get());
}

std::uint64_t CNetworkWorker::Received() const {
    return m_shared->received;
}

bool CNetworkWorker::GivenUp() const {
    std::lock_guard<std::mutex> lock(m_shared->lock);
    return m_shared->givenUp;
}

void CNetworkWorker::GiveUp() {
    std::lock_guard<std::mutex> lock(m_shared->lock);
    m_shared->givenUp = true;
}

DWORD WINAPI CNetworkWorker::ThreadMain(LPVOID job) {
    std::unique_ptr<std::shared_ptr<CStep::Shared>> shared(static_cast<std::shared_ptr<CStep::Shared>*>(job));
    CStep::Shared& state = **shared;
    CStep step(state);
    // One thread for the steps of a worker, one after the other, until it is given up.
    while (::WaitForSingleObject(state.go.Get(), INFINITE) == WAIT_OBJECT_0) {
        {
            std::lock_guard<std::mutex> lock(state.lock);
            if (state.givenUp)
                break;
        }
        state.step(step);
        ::SetEvent(state.done.Get());
    }
    return 0;
}

CNetworkWorker::Outcome CNetworkWorker::Run(Step step, HANDLE wake, const std::function<bool()>& onWake) {
    if (GivenUp() || !m_shared->done || !m_shared->go)
        return Outcome::Stopped;
    if (!m_threadStarted) {
        auto job = std::make_unique<std::shared_ptr<CStep::Shared>>(m_shared);
        CHandle thread(::CreateThread(nullptr, 0, &CNetworkWorker::ThreadMain, job.get(), 0, nullptr));
        if (!thread)
            return Outcome::Stopped;
        job.release(); // the thread's now
        m_threadStarted = true;
    }
    m_shared->step = std::move(step);
    m_shared->lastAlive = ::GetTickCount64();
    m_shared->received = 0;
    ::ResetEvent(m_shared->done.Get());
    ::SetEvent(m_shared->go.Get());
    const HANDLE handles[] = {m_shared->done.Get(), wake};
    for (;;) {
        const DWORD woken =
            ::MsgWaitForMultipleObjects(wake ? 2 : 1, handles, FALSE, kWaitSliceMs, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0)
            return Outcome::Done;
        if (woken == WAIT_FAILED)
            ::Sleep(kWaitSliceMs);
        if (onWake && !onWake()) {
            GiveUp();
            return Outcome::Stopped;
        }
        if (m_keepWaiting && !m_keepWaiting()) {
            GiveUp();
            return Outcome::Stopped;
        }
        if (::GetTickCount64() - m_shared->lastAlive >= m_idleMs) {
            GiveUp();
            return Outcome::Silent;
        }
    }
}
