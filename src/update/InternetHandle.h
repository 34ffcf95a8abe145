// An owned WinINet handle (session, connection, request, search).
#pragma once

#include "framework/Handles.h"

#include <wininet.h>

struct CInternetHandleFree {
    void operator()(HINTERNET handle) const { ::InternetCloseHandle(handle); }
};

class CInternetHandle : public CScopedHandle<HINTERNET, CInternetHandleFree> {
  public:
    CInternetHandle() = default;
    explicit CInternetHandle(HINTERNET handle) : CScopedHandle(handle) {}
    void Reset(HINTERNET handle = nullptr) {
        Close();
        m_h = handle;
    }
    // The platform's calls take the handle as it is; the owner still closes it.
    operator HINTERNET() const { return m_h; }
};

// Connect, send and receive time-outs of 60 s on a session, inherited by its connections and transfers,
// so that a server that stops answering cannot hold a run for ever (where the platform honours them).
inline void SetTransferTimeouts(HINTERNET session) {
    for (DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
          INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT}) {
        DWORD timeout = 60000;
        ::InternetSetOptionA(session, option, &timeout, sizeof timeout);
    }
}
