#include "SchedulerContext.h"

#include "core/DueTime.h"

#include <new>

namespace {
HANDLE Duplicate(HANDLE handle) {
    if (!handle)
        return nullptr;
    HANDLE copy = nullptr;
    HANDLE process = ::GetCurrentProcess();
    if (!::DuplicateHandle(process, handle, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}
} // namespace

std::unique_ptr<CSchedulerContext> CSchedulerContext::Create(HWND mainWindow, HANDLE stopEvent,
                                                             HANDLE autoUpdate, HANDLE autoUpdateDone,
                                                             int intervalDays, bool startUpCheck) {
    std::unique_ptr<CSchedulerContext> context(new (std::nothrow) CSchedulerContext);
    if (!context)
        return nullptr;
    context->m_stopEvent.Reset(Duplicate(stopEvent));
    if (!context->m_stopEvent)
        return nullptr;
    context->m_hMainWnd = mainWindow;
    context->m_autoUpdate.Reset(Duplicate(autoUpdate));
    context->m_autoUpdateDone.Reset(Duplicate(autoUpdateDone));
    context->m_dueTime = IntervalDueTime(intervalDays);
    context->m_rearmTimer = intervalDays != 0;
    context->m_startUpCheck = startUpCheck;
    return context;
}
