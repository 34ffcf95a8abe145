// Objects that take part in command routing.
#pragma once

#include "CmdUI.h"
#include "Object.h"

class CCmdTarget : public CObject {
    PM_DECLARE_RUNTIME_CLASS()
  public:
    // Carries out command id (pCmdUI null) or asks its state (pCmdUI set).
    // Returns TRUE when this target or one it routes to handled it.
    virtual BOOL OnCmdMsg(UINT id, CCmdUI* pCmdUI);
};

// One row of a class's command table: the handler and the optional state handler.
template <class T> struct CommandEntry {
    UINT id;
    void (T::*onCommand)();
    void (T::*onUpdate)(CCmdUI*);
};

// Looks id up in a static command table; used by each class's OnCmdMsg.
template <class T, size_t N>
BOOL DispatchCommand(T* target, const CommandEntry<T> (&table)[N], UINT id, CCmdUI* pCmdUI) {
    for (const CommandEntry<T>& entry : table) {
        if (entry.id == id && pCmdUI && entry.onUpdate)
            return (target->*entry.onUpdate)(pCmdUI), TRUE;
        if (entry.id == id && !pCmdUI && entry.onCommand)
            return (target->*entry.onCommand)(), TRUE;
    }
    return FALSE;
}
