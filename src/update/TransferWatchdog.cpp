#include "TransferWatchdog.h"

CTransferWatchdog::CTransferWatchdog(CInternetHandle request, DWORD idleMs)
    : m_request(request.Release()), m_idleMs(idleMs), m_lastAlive(::GetTickCount64()),
      m_stop(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (m_stop)
        m_thread.Reset(::CreateThread(nullptr, 0, &CTransferWatchdog::Watch, this, 0, nullptr));
}

CTransferWatchdog::~CTransferWatchdog() {
    if (m_stop)
        ::SetEvent(m_stop.Get());
    if (m_thread)
        ::WaitForSingleObject(m_thread.Get(), INFINITE);
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_closed && m_request)
        ::InternetCloseHandle(m_request);
    m_closed = true;
}

bool CTransferWatchdog::Fired() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_fired;
}

DWORD WINAPI CTransferWatchdog::Watch(LPVOID context) {
    auto* self = static_cast<CTransferWatchdog*>(context);
    // Looks a few times within the idle time: it fires at most a quarter of it late.
    const DWORD interval = self->m_idleMs / 4 ? self->m_idleMs / 4 : 1;
    while (::WaitForSingleObject(self->m_stop.Get(), interval) == WAIT_TIMEOUT) {
        if (::GetTickCount64() - self->m_lastAlive < self->m_idleMs)
            continue;
        std::lock_guard<std::mutex> lock(self->m_lock);
        if (!self->m_closed && self->m_request)
            ::InternetCloseHandle(self->m_request);
        self->m_closed = true;
        self->m_fired = true;
        return 0;
    }
    return 0;
}
