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
