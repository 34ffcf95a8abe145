// The WinINet status callback that moves the progress window during a download.
#pragma once

#include <windows.h>
#include <wininet.h>

// The context is the CFtpUpdater running the download; notifications with context 0 are ignored.
void CALLBACK TransferStatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                     DWORD informationLength);
