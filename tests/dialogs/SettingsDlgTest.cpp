// The settings dialog, opened through the main window's command as the tray menu does and driven
// from a second thread as a user would.
#include "DialogTestBed.h"

#include <vector>

using namespace pmtest;

namespace {
const char kIntegerText[] = "Please enter an integer.";
const char kRangeText[] = "Please enter an integer between 1 and 120.";

// The icon a message box shows, from its icon control.
HICON BoxIcon(HWND box) {
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if ((::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return reinterpret_cast<HICON>(::SendMessageA(child, STM_GETICON, 0, 0));
    return nullptr;
}

// Answers the validation box (expecting its text) and checks that the focus went to the interval
// field, when it was enabled as the reading failed, with the whole text selected.
void ExpectValidationBox(HWND dialog, const char* text, bool focusable = true) {
    HWND box = WaitForWindow("#32770", kAppCaption, 5000);
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(GetItemText(box, 0xFFFF), text);
    EXPECT_EQ(BoxIcon(box), ::LoadIconA(nullptr, IDI_EXCLAMATION));
    EXPECT_TRUE(!dialog || ::GetWindow(box, GW_OWNER) == dialog) << "the box keeps the dialog from input";
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitForWindowGone(box, 5000));
    if (!dialog)
        return;
    HWND edit = ::GetDlgItem(dialog, IDC_INTERVAL);
    const auto inField = [&] { return FocusOf(dialog) == edit; };
    // Without a window manager, Wine now and then hands the activation to no window at all when a box
    // closes before X has reported the box's own focus. A user would click the dialog again; the
    // dialog must then give the focus back to the field.
    if (focusable && !WaitUntil(inField, 1000)) {
        HWND foreground = ::GetForegroundWindow();
        if (!foreground || foreground == ::GetDesktopWindow())
            ::SetForegroundWindow(dialog);
    }
    // A field disabled at the time cannot take the focus; its text is selected all the same.
    EXPECT_TRUE(!focusable || WaitUntil(inField, 3000))
        << "focus not in field but in control " << ::GetDlgCtrlID(FocusOf(dialog));
    const DWORD_PTR whole = MAKELONG(0, GetItemText(dialog, IDC_INTERVAL).size());
    DWORD_PTR selection = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
            return ::SendMessageTimeoutA(edit, EM_GETSEL, 0, 0, SMTO_NORMAL, 1000, &selection) &&
                   selection == whole;
        },
        3000))
        << "text not selected";
}

bool NoMessageBox(DWORD waitMs = 300) {
    return WaitForWindow("#32770", kAppCaption, waitMs) == nullptr;
}

// Enabled state of "Always Check on Startup", "Auto-Update Every", the confirmation and the interval.
std::string EnabledOf(HWND dialog) {
    std::string state;
    for (int id : {IDC_CHECK_ON_STARTUP, IDC_AUTO_UPDATE_EVERY, IDC_ASK_CONFIRMATION, IDC_INTERVAL})
        state += IsItemEnabled(dialog, id) ? '1' : '0';
    return state;
}

void Cancel(HWND dialog) {
    ClickButton(dialog, IDCANCEL);
    EXPECT_TRUE(WaitForWindowGone(dialog, 5000));
}

HWND WaitForSettings() {
    return WaitForWindow("#32770", kSettingsCaption);
}

// Choice, interval, auto-update and confirmation: in memory, and as saved.
std::string Record() {
    CUpdaterApp* app = GetUpdaterApp();
    return std::to_string(app->m_updateChoice) + " " + std::to_string(app->m_updateInterval) + " " +
           std::to_string(app->m_enableAutoUpdate) + " " + std::to_string(app->m_askForConfirmation);
}
std::string Saved() {
    std::string saved;
    for (const char* name : {"UpdateChoice", "UpdateInterval", "EnableAutoUpdate", "AskForConfirmation"})
        saved += (saved.empty() ? "" : " ") + std::to_string(static_cast<int>(RegDword(kParamsKey, name)));
    return saved;
}

class SettingsDialog : public DialogTest {
  protected:
    void ExpectNothingSaved() {
        for (const char* name : {"UpdateChoice", "UpdateInterval", "EnableAutoUpdate", "AskForConfirmation",
                                 "Server", "InstallDir"})
            EXPECT_FALSE(RegValueExists(kParamsKey, name)) << name;
    }
};

TEST_F(SettingsDialog, OpensWithTheDefaultsAndTheTemplatesControlsAndFollowsEachEnablingRule) {
    UiScript script([] {
        HWND dialog = WaitForSettings();
        ASSERT_NE(dialog, nullptr);
        // Template order is the tab order.
        std::vector<int> ids;
        for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
            ids.push_back(::GetDlgCtrlID(child));
        EXPECT_EQ(ids, (std::vector<int>{IDC_ENABLE_AUTO_UPDATE, IDC_UPDATE_NOW_BUTTON, 0xFFFF,
                                         IDC_CHECK_ON_STARTUP, IDC_AUTO_UPDATE_EVERY, IDC_INTERVAL, 0xFFFF,
                                         IDC_ASK_CONFIRMATION, 0xFFFF, 0xFFFF, IDOK, IDCANCEL,
                                         IDC_HELP_BUTTON, IDC_POLICY_NOTE}));
        EXPECT_FALSE(IsItemVisible(dialog, IDC_POLICY_NOTE)); // no policy
        EXPECT_TRUE(IsChecked(dialog, IDC_ENABLE_AUTO_UPDATE));
        EXPECT_TRUE(IsChecked(dialog, IDC_ASK_CONFIRMATION));
        EXPECT_TRUE(IsChecked(dialog, IDC_CHECK_ON_STARTUP));
        EXPECT_FALSE(IsChecked(dialog, IDC_AUTO_UPDATE_EVERY));
        EXPECT_EQ(GetItemText(dialog, IDC_INTERVAL), "7");
        EXPECT_EQ(FocusOf(dialog), ::GetDlgItem(dialog, IDC_ENABLE_AUTO_UPDATE));
        EXPECT_EQ(::SendMessageA(dialog, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
        EXPECT_TRUE(NoMessageBox());

        // Each click, then the enabling it leaves.
        const std::pair<int, const char*> steps[] = {
            {0, "1110"},
            {IDC_ENABLE_AUTO_UPDATE, "0000"},
            {IDC_ENABLE_AUTO_UPDATE, "1110"}, // on again, choice still 0
            {IDC_AUTO_UPDATE_EVERY, "1111"},
            {IDC_CHECK_ON_STARTUP, "1110"},
            {IDC_AUTO_UPDATE_EVERY, "1111"},
            {IDC_ENABLE_AUTO_UPDATE, "0000"}, // off with "every" selected
            {IDC_ENABLE_AUTO_UPDATE, "1111"}, // on: the field comes back with choice 1
        };
        for (const auto& step : steps) {
            ASSERT_TRUE(!step.first || ClickNow(dialog, step.first));
            EXPECT_EQ(EnabledOf(dialog), step.second) << "after a click on " << step.first;
        }
        EXPECT_TRUE(NoMessageBox(100));
        Cancel(dialog);
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    EXPECT_EQ(Record(), "0 7 1 1");
    ExpectNothingSaved();
}

TEST_F(SettingsDialog, EnableClickWithAnInvalidIntervalKeepsTheLastCompleteReading) {
    SetRecord(1, 7, 1, 1);
    UiScript script([] {
        HWND dialog = WaitForSettings();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(EnabledOf(dialog), "1111");
        SetItemText(dialog, IDC_INTERVAL, "abc");
        ASSERT_TRUE(ClickNow(dialog, IDC_CHECK_ON_STARTUP)); // disables the field without reading it
        EXPECT_EQ(EnabledOf(dialog), "1110");
        ClickButton(dialog, IDC_ENABLE_AUTO_UPDATE); // now unchecked, but the reading stops at the interval
        ExpectValidationBox(dialog, kIntegerText, false);
        EXPECT_FALSE(IsChecked(dialog, IDC_ENABLE_AUTO_UPDATE));
        // Auto-update on and choice 1, as last read completely when the dialog opened.
        EXPECT_EQ(EnabledOf(dialog), "1111");
        Cancel(dialog);
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    EXPECT_EQ(Record(), "1 7 1 1");
    ExpectNothingSaved();
}

class SettingsStoredInterval : public SettingsDialog, public ::testing::WithParamInterface<int> {};

TEST_P(SettingsStoredInterval, IsReportedAtOnceAndRefusedUntilAnIntegerInRangeEvenWhileDisabled) {
    const int stored = GetParam();
    SetRecord(0, stored, 1, 0);
    UiScript script([stored] {
        // The dialog validates while it opens: the box comes before the dialog shows.
        ExpectValidationBox(nullptr, kRangeText);
        HWND dialog = WaitForSettings();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(GetItemText(dialog, IDC_INTERVAL), std::to_string(stored));
        EXPECT_EQ(EnabledOf(dialog), "1110");
        ClickButton(dialog, IDOK); // refused although the field is disabled
        ExpectValidationBox(dialog, kRangeText, false);
        ASSERT_TRUE(ClickNow(dialog, IDC_AUTO_UPDATE_EVERY));
        for (const char* text : {"abc", "", "12x"}) {
            SetItemText(dialog, IDC_INTERVAL, text);
            ClickButton(dialog, IDOK);
            ExpectValidationBox(dialog, kIntegerText);
        }
        SetItemText(dialog, IDC_INTERVAL, "121");
        ClickButton(dialog, IDOK);
        ExpectValidationBox(dialog, kRangeText);
        ASSERT_TRUE(::IsWindowVisible(dialog));
        SetItemText(dialog, IDC_INTERVAL, "120");
        ClickButton(dialog, IDOK);
        EXPECT_TRUE(WaitForWindowGone(dialog, 5000));
        EXPECT_TRUE(NoMessageBox(100));
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    EXPECT_EQ(Record(), "1 120 1 0");
    EXPECT_EQ(Saved(), "1 120 1 0");
}

INSTANTIATE_TEST_SUITE_P(OutOfRange, SettingsStoredInterval, ::testing::Values(0, 365));

TEST_F(SettingsDialog, StoredChoiceOutsideTheGroupSelectsNoButtonAndOkStoresMinusOne) {
    SetRecord(5, 7, 1, 1);
    UiScript script([] {
        HWND dialog = WaitForSettings();
        ASSERT_NE(dialog, nullptr);
        EXPECT_FALSE(IsChecked(dialog, IDC_CHECK_ON_STARTUP));
        EXPECT_FALSE(IsChecked(dialog, IDC_AUTO_UPDATE_EVERY));
        EXPECT_EQ(EnabledOf(dialog), "1110");
        ClickButton(dialog, IDOK);
        EXPECT_TRUE(WaitForWindowGone(dialog, 5000));
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    EXPECT_EQ(Record(), "-1 7 1 1");
    EXPECT_EQ(Saved(), "-1 7 1 1");
}

TEST_F(SettingsDialog, OkStoresTheFourValuesAndSavesEverySetting) {
    SetRecord(0, 7, 1, 5); // any non-zero flag is on
    GetUpdaterApp()->m_pollTimer = 1234;
    UiScript script([] {
        HWND dialog = WaitForSettings();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(IsChecked(dialog, IDC_ASK_CONFIRMATION));
        ASSERT_TRUE(ClickNow(dialog, IDC_AUTO_UPDATE_EVERY));
        SetItemText(dialog, IDC_INTERVAL, " 30 "); // blanks around a number are accepted
        ASSERT_TRUE(ClickNow(dialog, IDC_ASK_CONFIRMATION));
        ClickButton(dialog, IDOK);
        EXPECT_TRUE(WaitForWindowGone(dialog, 5000));
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    EXPECT_EQ(Record(), "1 30 1 0");
    EXPECT_EQ(Saved(), "1 30 1 0");
    // All settings at once, as the store saves them; the last download is not among them.
    EXPECT_EQ(RegString(kParamsKey, "Server"), "ftp.example.invalid");
    EXPECT_EQ(RegString(kParamsKey, "PathToFile"), "/update/");
    EXPECT_EQ(RegDword(kParamsKey, "PollTimer"), 1234u);
    EXPECT_EQ(RegString(kParamsKey, "InstallDir"), ProgramDir());
    EXPECT_FALSE(RegValueExists(kParamsKey, "LastDownloadFile"));
}

// Values a policy sets show disabled, with the note; OK stores what the user chose and leaves the
// policy's values in force, never under Params. An interval the user cannot reach is not refused.
TEST_F(SettingsDialog, PolicyValuesShowDisabledWithTheNoteAndOkKeepsThemOutOfParams) {
    const struct {
        const char* what;
        std::vector<std::pair<const char*, DWORD>> policy;
        int userChoice, userInterval;
        const char* enabledAtOpen; // "Enable Auto-Update", then as EnabledOf
        const char* inForce;       // Record() after OK
        const char* saved;
    } rows[] = {
        {"schedule", {{"UpdateChoice", 1}, {"UpdateInterval", 14}}, 0, 7, "10010", "1 14 1 0", "0 7 1 0"},
        {"automatic updates off", {{"EnableAutoUpdate", 0}}, 0, 0, "00000", "0 0 0 1", "0 0 1 1"},
        {"start-up check", {{"UpdateChoice", 0}}, 1, 365, "10010", "0 365 1 0", "1 365 1 0"},
        {"the question", {{"AskForConfirmation", 0}}, 0, 7, "11100", "0 7 1 0", "0 7 1 1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        DeleteCorvalisKeys();
        DeletePolicyKeys();
        for (const auto& value : row.policy)
            SetPolicyDword(value.first, value.second);
        SetRegDword(kParamsKey, "UpdateChoice", row.userChoice);
        SetRegDword(kParamsKey, "UpdateInterval", row.userInterval);
        GetUpdaterApp()->LoadSettings();
        UiScript script([&row] {
            HWND dialog = WaitForSettings();
            ASSERT_NE(dialog, nullptr);
            EXPECT_TRUE(NoMessageBox(100));
            const auto enabled = [dialog] {
                return (IsItemEnabled(dialog, IDC_ENABLE_AUTO_UPDATE) ? "1" : "0") + EnabledOf(dialog);
            };
            EXPECT_EQ(enabled(), row.enabledAtOpen);
            EXPECT_EQ(GetItemText(dialog, IDC_INTERVAL), std::to_string(GetUpdaterApp()->m_updateInterval));
            EXPECT_EQ(::IsDlgButtonChecked(dialog, IDC_ASK_CONFIRMATION),
                      static_cast<UINT>(GetUpdaterApp()->m_askForConfirmation));
            EXPECT_EQ(GetItemText(dialog, IDC_POLICY_NOTE),
                      "Some settings are managed by your administrator.");
            RECT note{}, client{};
            ::GetWindowRect(::GetDlgItem(dialog, IDC_POLICY_NOTE), &note);
            ::MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&note), 2);
            ::GetClientRect(dialog, &client);
            EXPECT_TRUE(IsItemVisible(dialog, IDC_POLICY_NOTE) && note.bottom < client.bottom);
            if (IsItemEnabled(dialog, IDC_ENABLE_AUTO_UPDATE)) { // off and on: nothing held comes free
                ASSERT_TRUE(ClickNow(dialog, IDC_ENABLE_AUTO_UPDATE) &&
                            ClickNow(dialog, IDC_ENABLE_AUTO_UPDATE));
                EXPECT_EQ(enabled(), row.enabledAtOpen);
            }
            // The user's own choice, saved.
            ASSERT_TRUE(!IsItemEnabled(dialog, IDC_ASK_CONFIRMATION) ||
                        ClickNow(dialog, IDC_ASK_CONFIRMATION));
            ClickButton(dialog, IDOK);
            EXPECT_TRUE(WaitForWindowGone(dialog, 5000));
        });
        SendCommand(ID_SETTINGS);
        script.Join();
        EXPECT_EQ(Record(), row.inForce);
        EXPECT_EQ(Saved(), row.saved);
    }
}

// "&Update Now" runs nested in the dialog unless an update runs; "&Help" opens over the dialog; after
// both, Cancel still changes nothing.
TEST_F(SettingsDialog, UpdateNowAndHelpFromTheDialogThenCancelChangesNothing) {
    const char kInstalled[] = "C:\\Browser\\Pendlemark\\050101-update.exe";
    Frame().m_onUpdate = [&] { GetUpdaterApp()->RecordLastDownload(kInstalled); };
    UiScript script([this] {
        HWND dialog = WaitForSettings();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(ClickNow(dialog, IDC_AUTO_UPDATE_EVERY));
        SetItemText(dialog, IDC_INTERVAL, "44");
        ASSERT_TRUE(ClickNow(dialog, IDC_ENABLE_AUTO_UPDATE));
        ::SetEvent(m_running.Get());
        ASSERT_TRUE(ClickNow(dialog, IDC_UPDATE_NOW_BUTTON));
        EXPECT_EQ(Frame().m_updateRuns, 0) << "not dropped while CVLUpdateRunning is signalled";
        ::ResetEvent(m_running.Get());
        ASSERT_TRUE(ClickNow(dialog, IDC_UPDATE_NOW_BUTTON));
        EXPECT_EQ(Frame().m_updateRuns, 1);
        EXPECT_TRUE(Frame().m_settingsOpenDuringRun);
        ClickButton(dialog, IDC_HELP_BUTTON);
        HWND help = WaitForWindow("#32770", kHelpCaption);
        ASSERT_NE(help, nullptr);
        EXPECT_EQ(::GetWindow(help, GW_OWNER), dialog); // nested in the settings dialog
        ClickButton(help, IDOK);
        ASSERT_TRUE(WaitForWindowGone(help, 5000));
        EXPECT_EQ(GetItemText(dialog, IDC_INTERVAL), "44");
        Cancel(dialog);
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    EXPECT_EQ(Frame().m_updateRuns, 1);
    EXPECT_EQ(Record(), "0 7 1 1");
    ExpectNothingSaved();
    EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), kInstalled); // what a run records stays
}

} // namespace
