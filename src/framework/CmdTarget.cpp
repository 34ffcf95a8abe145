#include "CmdTarget.h"

PM_IMPLEMENT_RUNTIME_CLASS(CCmdTarget, "CCmdTarget", nullptr)

BOOL CCmdTarget::OnCmdMsg(UINT, CCmdUI*) {
    return FALSE;
}
