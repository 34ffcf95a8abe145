// How the pace of a request is judged. Its clock runs only while the request waits on the server, not
// while it waits for the run to take its blocks (a dialog may keep the run busy): a transfer is silent or
// slow only when the server is.
#pragma once

#include <array>
#include <cstdint>

struct PaceLimits {
    // Nothing arriving for this long (connecting, the answer, the body): silent.
    std::uint64_t idleMs = 60000;
    // A body moving fewer than floorBytes in any floorWindowMs: too slow to wait for.
    std::uint64_t floorWindowMs = 120000;
    std::uint64_t floorBytes = 4096;
};

// Milliseconds from since to now; none when since is the later one (stored after now was read).
std::uint64_t ElapsedMs(std::uint64_t now, std::uint64_t since);

// The time a request has spent waiting on the server, read off a millisecond tick count.
class CServerClock {
  public:
    std::uint64_t At(std::uint64_t now) const;
    // Waiting on the server from now on, or (Stop) on the run.
    void Run(std::uint64_t now);
    void Stop(std::uint64_t now);

  private:
    std::uint64_t m_total = 0;
    std::uint64_t m_since = 0;
    bool m_running = false;
};

class CTransferPace {
  public:
    enum class Verdict { Live, Silent, TooSlow };
    explicit CTransferPace(PaceLimits limits = {}) : m_limits(limits) {}

    // The answer (no bytes) or bytes of the body arrived, at the server clock's time.
    void Arrived(std::uint64_t clock, std::uint64_t bytes);
    // The body begins: the floor counts from here.
    void BeginBody(std::uint64_t clock);
    Verdict Judge(std::uint64_t clock) const;

  private:
    // The floor's window in this many slots: what it counts is exact to a slot.
    static constexpr std::uint64_t kSlots = 120;
    struct Slot {
        std::uint64_t index = UINT64_MAX;
        std::uint64_t bytes = 0;
    };
    std::uint64_t SlotMs() const;

    PaceLimits m_limits;
    std::uint64_t m_lastArrival = 0;
    bool m_inBody = false;
    std::uint64_t m_bodyStart = 0;
    std::array<Slot, kSlots + 1> m_slots{};
};
