// A named mutex whose handle lives as long as the object.
#pragma once

#include "Handles.h"

class CMutex {
  public:
    CMutex(BOOL initiallyOwn, const char* name);
    // Waits up to timeout ms; TRUE when this thread now owns the mutex (also after an owner died).
    BOOL Lock(DWORD timeout);
    BOOL Unlock();

  private:
    CHandle m_hObject;
};
