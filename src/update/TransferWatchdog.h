// Ends a transfer that has received nothing for a while: a server that stops sending without closing
// would otherwise hold a synchronous read, and the run, for ever (not every platform honours WinINet's
// receive time-outs). It owns the request handle for the transfer's life and closes it, which makes the
// read that waits fail as a cut connection does.
#pragma once

#include "InternetHandle.h"
#include "framework/Handles.h"

#include <mutex>

class CTransferWatchdog {
  public:
    CTransferWatchdog(CInternetHandle request, DWORD idleMs);
    ~CTransferWatchdog();
    CTransferWatchdog(const CTransferWatchdog&) = delete;
    CTransferWatchdog& operator=(const CTransferWatchdog&) = delete;

    HINTERNET Request() const { return m_request; }
    // Bytes arrived: the idle time starts again.
    void Alive() { ::SetEvent(m_alive.Get()); }
    // Whether it ended the transfer.
    bool Fired();

  private:
    static DWORD WINAPI Watch(LPVOID self);

    HINTERNET m_request;
    DWORD m_idleMs;
    std::mutex m_lock; // the request is closed once, by whichever side comes first
    bool m_closed = false;
    bool m_fired = false;
    CHandle m_alive;
    CHandle m_stop;
    CHandle m_thread;
};
