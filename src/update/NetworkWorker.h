// Network calls that may block for ever, made on threads of their own: the user-interface thread only
// waits for them while it serves its messages, and gives a call up when nothing has arrived for the
// idle limit or the run is to stop. Neither a receive time-out nor closing a handle from another thread
// wakes a blocked read on every platform, so a call given up may stay blocked until the server lets
// go; it then ends without touching the caller's state again. The WinINet handles the steps make are
// the worker's alone, closed by whichever side lets go last: never while a blocked call uses them.
#pragma once

#include "framework/Afx.h"
#include "framework/Handles.h"

#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class CNetworkWorker {
  public:
    // How a step ended for the caller.
    enum class Outcome {
        Done,   // the step returned
        Silent, // nothing arrived for the idle limit: given up
        Stopped // the caller stopped waiting (Cancel, a close): given up
    };

    // What a step uses on its thread; the only way it may reach the caller.
    class CStep {
      public:
        // Bytes or an answer arrived: the idle time starts again.
        void Alive(std::uint64_t bytes = 0);
        // Runs fn under the worker's lock unless the step was given up; false when it was. The only place
        // where a step may touch what the caller owns.
        template <class Fn> bool WithCaller(Fn&& fn);
        // A WinINet handle the step made, owned by the worker from now on.
        HINTERNET Own(HINTERNET handle);
        // Closes an owned handle early (a request the next one replaces).
        void Close(HINTERNET handle);

      private:
        friend class CNetworkWorker;
        struct Shared;
        explicit CStep(Shared& shared) : m_shared(shared) {}
        Shared& m_shared;
    };
    using Step = std::function<void(CStep& step)>;

    // keepWaiting is called on the caller's thread while it waits: it serves the messages and says
    // whether to go on waiting.
    CNetworkWorker(DWORD idleMs, std::function<bool()> keepWaiting);
    // Gives up a step still running.
    ~CNetworkWorker();
    CNetworkWorker(const CNetworkWorker&) = delete;
    CNetworkWorker& operator=(const CNetworkWorker&) = delete;

    // Runs step on the worker's thread and waits for it. Once a step was given up, nothing more runs.
    // onWake runs on this thread whenever it wakes meanwhile (wake signalled among others); false from it
    // gives the step up.
    Outcome Run(Step step, HANDLE wake = nullptr, const std::function<bool()>& onWake = {});
    bool GivenUp() const;
    // Bytes the running step reported, for the progress shown while waiting.
    std::uint64_t Received() const;

  private:
    static DWORD WINAPI ThreadMain(LPVOID job);
    void GiveUp();

    DWORD m_idleMs;
    std::function<bool()> m_keepWaiting;
    std::shared_ptr<CStep::Shared> m_shared;
    bool m_threadStarted = false;
};

// State the caller and the threads share; it lives until the last of them lets go.
struct CNetworkWorker::CStep::Shared {
    ~Shared();
    std::mutex lock;
    bool givenUp = false;
    std::vector<HINTERNET> handles; // owned, in the order made
    CHandle go;                     // a step to run (or, given up, the end)
    CHandle done;                   // set when a step returns
    Step step;                      // the step running: its captures live as long as it may run
    std::atomic<ULONGLONG> lastAlive{0};
    std::atomic<std::uint64_t> received{0};
};

template <class Fn> bool CNetworkWorker::CStep::WithCaller(Fn&& fn) {
    std::lock_guard<std::mutex> lock(m_shared.lock);
    if (m_shared.givenUp)
        return false;
    fn();
    return true;
}
