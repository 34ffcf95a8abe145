#include "DataExchange.h"

#include "Dialog.h"
#include "WinApp.h"

#include "core/IntegerText.h"

namespace {
const char kParseIntText[] = "Please enter an integer.";
const char kRangeIntText[] = "Please enter an integer between %1 and %2.";
} // namespace

CDataExchange::CDataExchange(CDialog* dialog, BOOL saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

HWND CDataExchange::PrepareCtrl(int id) {
    m_hWndLastControl = ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
    m_bEditLastControl = FALSE;
    return m_hWndLastControl;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
    HWND control = PrepareCtrl(id);
    m_bEditLastControl = TRUE;
    return control;
}

BOOL CDataExchange::Fail(const CString& message) {
    AfxMessageBox(message, MB_ICONEXCLAMATION);
    if (m_hWndLastControl) {
        // Through the dialog manager, so that the dialog's own focus memory agrees and its
        // re-activation after the box does not move the focus elsewhere.
        if (m_pDlgWnd && m_pDlgWnd->m_hWnd)
            ::SendMessageA(m_pDlgWnd->m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_hWndLastControl),
                           TRUE);
        ::SetFocus(m_hWndLastControl);
        if (m_bEditLastControl)
            ::SendMessageA(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    return FALSE;
}

BOOL DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (control.m_hWnd)
        return TRUE;
    HWND hWnd = pDX->PrepareCtrl(id);
    return hWnd ? control.Attach(hWnd) : TRUE;
}

BOOL DDX_Text(CDataExchange* pDX, int id, int& value) {
    HWND control = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        char text[64] = "";
        ::GetWindowTextA(control, text, sizeof text);
        int parsed = 0;
        if (!ParseIntegerText(text, parsed))
            return pDX->Fail(kParseIntText);
        value = parsed;
    } else {
        ::SetWindowTextA(control, std::to_string(value).c_str());
    }
    return TRUE;
}

BOOL DDX_Check(CDataExchange* pDX, int id, BOOL& value) {
    HWND control = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate)
        value = static_cast<BOOL>(::SendMessageA(control, BM_GETCHECK, 0, 0));
    else // a flag: any non-zero value is on
        ::SendMessageA(control, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

BOOL DDX_Radio(CDataExchange* pDX, int id, int& value) {
    HWND control = pDX->PrepareCtrl(id);
    if (!control)
        return TRUE;
    if (pDX->m_bSaveAndValidate)
        value = -1;
    int index = 0;
    // The group runs from the first button up to the next control that starts a group.
    do {
        if (::SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
            if (pDX->m_bSaveAndValidate) {
                if (::SendMessageA(control, BM_GETCHECK, 0, 0) != BST_UNCHECKED)
                    value = index;
            } else {
                ::SendMessageA(control, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            ++index;
        }
        control = ::GetWindow(control, GW_HWNDNEXT);
    } while (control && !(::GetWindowLongA(control, GWL_STYLE) & WS_GROUP));
    return TRUE;
}

BOOL DDV_MinMaxInt(CDataExchange* pDX, int value, int minValue, int maxValue) {
    if (!pDX->m_bSaveAndValidate || (value >= minValue && value <= maxValue))
        return TRUE;
    return pDX->Fail(FormatString2(kRangeIntText, std::to_string(minValue), std::to_string(maxValue)));
}
