// Ends a transfer that has received nothing for a while: a server that stops sending without closing
// would otherwise hold a synchronous read, and the run, for ever (not every platform honours WinINet's
// receive time-outs). It owns the request handle for the transfer's life and closes it, which makes the
// read that waits fail as a cut connection does.
#pragma once

#include "InternetHandle.h"
#include "framework/Handles.h"

#include <atomic>
#include <mutex>

class CTransferWatchdog {
  public:
    CTransferWatchdog(CInternetHandle request, DWORD idleMs);
    ~CTransferWatchdog();
    CTransferWatchdog(const CTransferWatchdog&) = delete;
    CTransferWatchdog& operator=(const CTransferWatchdog&) = delete;

    HINTERNET Request() const { return m_request; }
    // Bytes arrived: the idle time starts again. Called for every block, so it costs no system call.
    void Alive() { m_lastAlive = ::GetTickCount64(); }
    // Whether it ended the transfer.
    bool Fired();

  private:
    static DWORD WINAPI Watch(LPVOID self);

    HINTERNET m_request;
    DWORD m_idleMs;
    std::mutex m_lock; // the request is closed once, by whichever side comes first
    bool m_closed = false;
    bool m_fired = false;
    std::atomic<ULONGLONG> m_lastAlive;
    CHandle m_stop;
    CHandle m_thread;
};
