#include "Mutex.h"

CMutex::CMutex(BOOL initiallyOwn, const char* name)
    : m_hObject(::CreateMutexA(nullptr, initiallyOwn, name)) {}

BOOL CMutex::Lock(DWORD timeout) {
    if (!m_hObject)
        return FALSE;
    DWORD result = ::WaitForSingleObject(m_hObject.Get(), timeout);
    // An abandoned wait hands us ownership all the same: its previous owner is gone.
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

BOOL CMutex::Unlock() {
    return m_hObject && ::ReleaseMutex(m_hObject.Get());
}
