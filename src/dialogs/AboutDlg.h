// The about box: icon, name and version of the program.
#pragma once

#include "framework/Dialog.h"

class CAboutDlg : public CDialog {
  public:
    CAboutDlg();
    ~CAboutDlg() override = default;
};
