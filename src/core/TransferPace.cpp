#include "TransferPace.h"

std::uint64_t ElapsedMs(std::uint64_t now, std::uint64_t since) {
    return now > since ? now - since : 0;
}

std::uint64_t CServerClock::At(std::uint64_t now) const {
    return m_total + (m_running ? ElapsedMs(now, m_since) : 0);
}

void CServerClock::Run(std::uint64_t now) {
    if (m_running)
        return;
    m_since = now;
    m_running = true;
}

void CServerClock::Stop(std::uint64_t now) {
    if (!m_running)
        return;
    m_total += ElapsedMs(now, m_since);
    m_running = false;
}

std::uint64_t CTransferPace::SlotMs() const {
    const std::uint64_t slot = m_limits.floorWindowMs / kSlots;
    return slot ? slot : 1;
}

void CTransferPace::Arrived(std::uint64_t clock, std::uint64_t bytes) {
    if (clock > m_lastArrival)
        m_lastArrival = clock;
    if (!m_inBody || bytes == 0)
        return;
    const std::uint64_t index = clock / SlotMs();
    Slot& slot = m_slots[index % m_slots.size()];
    if (slot.index != index)
        slot = Slot{index, 0};
    slot.bytes += bytes;
}

void CTransferPace::BeginBody(std::uint64_t clock) {
    m_inBody = true;
    m_bodyStart = clock;
    m_slots.fill(Slot{});
}

CTransferPace::Verdict CTransferPace::Judge(std::uint64_t clock) const {
    if (ElapsedMs(clock, m_lastArrival) >= m_limits.idleMs)
        return Verdict::Silent;
    if (!m_inBody || m_limits.floorBytes == 0 || ElapsedMs(clock, m_bodyStart) < m_limits.floorWindowMs)
        return Verdict::Live;
    const std::uint64_t now = clock / SlotMs();
    std::uint64_t moved = 0;
    for (const Slot& slot : m_slots) {
        if (slot.index != UINT64_MAX && slot.index <= now && slot.index + kSlots > now)
            moved += slot.bytes;
    }
    return moved < m_limits.floorBytes ? Verdict::TooSlow : Verdict::Live;
}
