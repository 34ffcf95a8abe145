#include "PlatformStartup.h"

#include <ole2.h>
#include <winsock2.h>

BOOL CSocketsStartup::Start() {
    End();
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return FALSE;
    m_started = true; // a start in another version is ended all the same
    return data.wVersion == MAKEWORD(1, 1);
}

void CSocketsStartup::End() {
    if (m_started)
        ::WSACleanup();
    m_started = false;
}

BOOL COleStartup::Start() {
    End();
    m_started = SUCCEEDED(::OleInitialize(nullptr));
    return m_started;
}

void COleStartup::End() {
    if (m_started)
        ::OleUninitialize();
    m_started = false;
}
