// Keeping our launcher copy in place of cvl.exe, and undoing the installation.
#include "UpdaterApp.h"

void CUpdaterApp::SwapInLauncher() {}

void CUpdaterApp::Uninstall() {}
