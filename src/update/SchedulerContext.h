// What the scheduler thread works with. It holds its own duplicates of the main window's handles,
// so a thread that outlives the 3000 ms stop never waits on or signals a handle closed under it.
#pragma once

#include "framework/Handles.h"

#include <memory>

class CSchedulerContext {
  public:
    // Duplicates stop, request and done events for the thread; null when the stop event cannot be
    // duplicated (without it the thread could never be told to end).
    // startUpCheck: the main window asks for an update at its start, through autoUpdate.
    static std::unique_ptr<CSchedulerContext> Create(HWND mainWindow, HANDLE stopEvent, HANDLE autoUpdate,
                                                     HANDLE autoUpdateDone, int intervalDays,
                                                     bool startUpCheck = false);

    HWND m_hMainWnd = nullptr;
    CHandle m_stopEvent;
    CHandle m_autoUpdate;     // CVLAutoUpdate; may be empty
    CHandle m_autoUpdateDone; // CVLAutoUpdateDone; may be empty
    LONGLONG m_dueTime = 0;   // timer due time in 100 ns units, negative: relative
    // An interval of 0 expires at once; re-arming it would run decisions back to back.
    bool m_rearmTimer = true;
    // The first request is the start-up check's, until it has come.
    bool m_startUpCheck = false;
};
