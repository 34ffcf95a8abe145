#include "DialogTestBed.h"

#include "app/UpdaterApp.h"
#include "res/resource.h"
#include "support/TestEnv.h"
#include "support/UiDriver.h"

#include <ole2.h>

namespace pmtest {

BOOL CTestMainFrame::OnCmdMsg(UINT id, CCmdUI* pCmdUI) {
    if (id == ID_UPDATE_NOW && !pCmdUI) {
        ++m_updateRuns;
        HWND settings = ::FindWindowA("#32770", kSettingsCaption);
        m_settingsOpenDuringRun = settings && ::IsWindowVisible(settings);
        if (m_onUpdate)
            m_onUpdate();
        return TRUE;
    }
    return CMainFrame::OnCmdMsg(id, pCmdUI);
}

namespace {
const char* const kOurCaptions[] = {kAppCaption, kHelpCaption, kAboutCaption, kSettingsCaption};

// A dialog or message box of this process with one of our captions, or null.
HWND FindOurDialog() {
    for (const char* caption : kOurCaptions) {
        HWND window = nullptr;
        while ((window = ::FindWindowExA(nullptr, window, "#32770", caption)) != nullptr) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            if (pid == ::GetCurrentProcessId())
                return window;
        }
    }
    return nullptr;
}
} // namespace

UiScript::UiScript(std::function<void()> script)
    : m_thread([script = std::move(script)] {
          script();
          // Leftovers of a script that stopped early: cancel them, top-most first.
          DWORD start = ::GetTickCount();
          while (::GetTickCount() - start < 10000) {
              HWND window = FindOurDialog();
              if (!window)
                  break;
              ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
              ::Sleep(50);
          }
      }) {}

UiScript::~UiScript() {
    Join();
}

void UiScript::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

bool ClickNow(HWND dialog, int id) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

void PressEscape(HWND dialog) {
    HWND focus = FocusOf(dialog);
    HWND target = focus ? focus : dialog;
    ::PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void PressCloseBox(HWND dialog) {
    ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

std::pair<int, int> EditSelection(HWND edit) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(edit, EM_GETSEL, 0, 0, SMTO_NORMAL, 5000, &result);
    return {LOWORD(result), HIWORD(result)};
}

bool WaitForNoDialogs(DWORD timeoutMs) {
    return WaitUntil([] { return FindOurDialog() == nullptr; }, timeoutMs);
}

void DialogTest::SetUp() {
    // What the program's start-up does before any window: common controls and OLE.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    m_oleStarted = SUCCEEDED(::OleInitialize(nullptr));
    DeleteCorvalisKeys();
    CUpdaterApp* app = GetUpdaterApp();
    ASSERT_NE(app, nullptr);
    app->SetRegistryKey("Corvalis");
    app->m_server = "ftp.example.invalid";
    app->m_pathToFile = "/update/";
    app->m_lastDownloadFile.clear();
    SetRecord(0, 7, 1, 1);

    m_updateRunning = OpenOrCreateEvent("CVLUpdateRunning");
    ::ResetEvent(m_updateRunning);
    m_frame = new CTestMainFrame;
    ASSERT_TRUE(m_frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr));
    m_frame->ShowWindow(SW_HIDE);
    app->m_pMainWnd = m_frame;
}

void DialogTest::TearDown() {
    CUpdaterApp* app = GetUpdaterApp();
    if (m_frame) {
        // Not the main window any more, so closing it does not end the thread's message loop.
        app->m_pMainWnd = nullptr;
        m_frame->SendMessage(WM_CLOSE);
        m_frame = nullptr;
    }
    WaitForNoDialogs();
    if (m_updateRunning) {
        ::ResetEvent(m_updateRunning);
        ::CloseHandle(m_updateRunning);
        m_updateRunning = nullptr;
    }
    DeleteCorvalisKeys();
    if (m_oleStarted)
        ::OleUninitialize();
}

void DialogTest::SendCommand(UINT id) {
    ASSERT_NE(m_frame, nullptr);
    m_frame->SendMessage(WM_COMMAND, id, 0);
}

void DialogTest::SetRecord(int choice, int interval, int enableAutoUpdate, int askForConfirmation) {
    CUpdaterApp* app = GetUpdaterApp();
    app->m_updateChoice = choice;
    app->m_updateInterval = interval;
    app->m_enableAutoUpdate = enableAutoUpdate;
    app->m_askForConfirmation = askForConfirmation;
}

void DialogTest::SetUpdateRunning(bool running) {
    if (running)
        ::SetEvent(m_updateRunning);
    else
        ::ResetEvent(m_updateRunning);
}

} // namespace pmtest
