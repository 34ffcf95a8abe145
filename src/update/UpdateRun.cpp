// "&Update Now": one complete, user-visible update.
#include "shell/MainFrame.h"

void CMainFrame::OnUpdateNow() {}
