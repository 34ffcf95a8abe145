#include "Afx.h"

HINSTANCE AfxGetResourceHandle() {
    return GetModuleHandleA(nullptr);
}

CString AfxLoadString(UINT id) {
    char buffer[1024];
    int length = LoadStringA(AfxGetResourceHandle(), id, buffer, sizeof buffer);
    return length > 0 ? CString(buffer, static_cast<size_t>(length)) : CString();
}
