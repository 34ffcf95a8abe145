// Moving values between dialog controls and members, with validation on the way in.
#pragma once

#include "Afx.h"

class CDialog;
class CWnd;

class CDataExchange {
  public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate);

    // Makes control id the one a failure points at; returns its window.
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Shows the failure text (exclamation icon), puts the focus (and selection) in the last
    // prepared control and returns FALSE so that the exchange stops.
    BOOL Fail(const CString& message);

    BOOL m_bSaveAndValidate;
    CDialog* m_pDlgWnd;
    HWND m_hWndLastControl = nullptr;
    BOOL m_bEditLastControl = FALSE;
};

// Each returns FALSE when the exchange must stop.
BOOL DDX_Control(CDataExchange* pDX, int id, CWnd& control);
BOOL DDX_Text(CDataExchange* pDX, int id, int& value);
BOOL DDX_Check(CDataExchange* pDX, int id, BOOL& value);
// Index of the checked button in the radio group that starts at id; -1 when none.
BOOL DDX_Radio(CDataExchange* pDX, int id, int& value);
BOOL DDV_MinMaxInt(CDataExchange* pDX, int value, int minValue, int maxValue);
