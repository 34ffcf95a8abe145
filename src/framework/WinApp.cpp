#include "WinApp.h"

#include "Handles.h"

#include <cstdlib>
#include <cstring>

PM_IMPLEMENT_RUNTIME_CLASS(CWinApp, "CWinApp", nullptr)

namespace {
CWinApp* g_pApp = nullptr;
constexpr UINT AFX_IDS_APP_TITLE = 57344;
} // namespace

CWinApp* AfxGetApp() {
    return g_pApp;
}

CWinApp::CWinApp(const char* appName) {
    g_pApp = this;
    m_pszAppName = appName ? CString(appName) : AfxLoadString(AFX_IDS_APP_TITLE);
}

CWinApp::~CWinApp() {
    if (g_pApp == this)
        g_pApp = nullptr;
}

int CWinApp::Run() {
    MSG msg{};
    BOOL got;
    while ((got = ::GetMessageA(&msg, nullptr, 0, 0)) != 0 && got != -1) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    if (got == 0)
        m_nExitCode = static_cast<int>(msg.wParam);
    return ExitInstance();
}

int CWinApp::ExitInstance() {
    return m_nExitCode;
}

void CWinApp::SetRegistryKey(const char* company) {
    m_pszRegistryKey = company ? company : "";
}

namespace {
// Creates or opens Software\<company>\<app>\<section> for one call: one registry call for the whole
// path, as every profile call of every start goes through here.
CRegKey OpenSectionKey(const CWinApp& app, const char* section) {
    CString path = "Software\\" + app.m_pszRegistryKey + "\\" + app.m_pszAppName;
    if (section && *section) // none: the application's own key, as an empty subkey names it
        path += CString("\\") + section;
    CRegKey key;
    if (app.m_pszRegistryKey.empty() || key.Create(HKEY_CURRENT_USER, path.c_str()) != ERROR_SUCCESS)
        return CRegKey();
    return key;
}
} // namespace

CString CWinApp::GetProfileString(const char* section, const char* entry, const char* defaultValue) {
    CRegKey key = OpenSectionKey(*this, section);
    DWORD type = 0, size = 0;
    CString value;
    if (key && ::RegQueryValueExA(key.Get(), entry, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        value.assign(size + 1, '\0');
        if (::RegQueryValueExA(key.Get(), entry, nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ)
            return value.c_str(); // stored with or without its terminator
    }
    return defaultValue ? defaultValue : "";
}

int CWinApp::GetProfileInt(const char* section, const char* entry, int defaultValue) {
    CRegKey key = OpenSectionKey(*this, section);
    DWORD type = 0, value = 0, size = sizeof value;
    if (!key ||
        ::RegQueryValueExA(key.Get(), entry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return defaultValue;
    return static_cast<int>(value);
}

BOOL CWinApp::WriteProfileString(const char* section, const char* entry, const char* value) {
    CRegKey key = OpenSectionKey(*this, section);
    const char* text = value ? value : "";
    return key && ::RegSetValueExA(key.Get(), entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                   static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int value) {
    CRegKey key = OpenSectionKey(*this, section);
    DWORD data = static_cast<DWORD>(value);
    return key && ::RegSetValueExA(key.Get(), entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                   sizeof data) == ERROR_SUCCESS;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) {
    ParseCommandLine(info, __argc, __argv);
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* param = argv[i];
        bool isSwitch = param[0] == '-' || param[0] == '/';
        info.ParseParam(isSwitch ? param + 1 : param, isSwitch, i == argc - 1);
    }
}

int AfxWinMain() {
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    if (!app->InitInstance()) {
        if (app->m_pMainWnd)
            app->m_pMainWnd->DestroyWindow();
        return app->ExitInstance();
    }
    return app->Run();
}

int AfxMessageBox(const CString& text, UINT type) {
    CWinApp* app = AfxGetApp();
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    if (owner)
        owner = ::GetLastActivePopup(owner);
    return ::MessageBoxA(owner, text.c_str(), app ? app->m_pszAppName.c_str() : "", type);
}

int AfxMessageBox(UINT stringId, UINT type) {
    return AfxMessageBox(AfxLoadString(stringId), type);
}
