// The settings dialog, opened through the main window's command as the tray menu does and driven
// from a second thread as a user would.
#include "DialogTestBed.h"

#include "app/UpdaterApp.h"
#include "res/resource.h"
#include "support/TestEnv.h"
#include "support/UiDriver.h"

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
    if (dialog) {
        EXPECT_EQ(::GetWindow(box, GW_OWNER), dialog) << "the box keeps the dialog from input";
    }
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitForWindowGone(box, 5000));
    if (!dialog)
        return;
    HWND edit = ::GetDlgItem(dialog, IDC_INTERVAL);
    // A field disabled at the time cannot take the focus; its text is selected all the same.
    if (focusable) {
        EXPECT_TRUE(WaitUntil([&] { return FocusOf(dialog) == edit; }, 3000))
            << "focus not in the interval field";
    }
    const auto whole = std::make_pair(0, static_cast<int>(GetItemText(dialog, IDC_INTERVAL).size()));
    EXPECT_TRUE(WaitUntil([&] { return EditSelection(edit) == whole; }, 3000)) << "text not selected";
}

bool NoMessageBox(DWORD waitMs = 300) {
    return WaitForWindow("#32770", kAppCaption, waitMs) == nullptr;
}

struct Enabled {
    bool checkOnStartup, autoUpdateEvery, askForConfirmation, interval;
    bool operator==(const Enabled& o) const {
        return checkOnStartup == o.checkOnStartup && autoUpdateEvery == o.autoUpdateEvery &&
               askForConfirmation == o.askForConfirmation && interval == o.interval;
    }
};
std::ostream& operator<<(std::ostream& out, const Enabled& e) {
    return out << "{startup " << e.checkOnStartup << ", every " << e.autoUpdateEvery << ", confirm "
               << e.askForConfirmation << ", interval " << e.interval << "}";
}
Enabled EnabledOf(HWND dialog) {
    return {IsItemEnabled(dialog, IDC_CHECK_ON_STARTUP), IsItemEnabled(dialog, IDC_AUTO_UPDATE_EVERY),
            IsItemEnabled(dialog, IDC_ASK_CONFIRMATION), IsItemEnabled(dialog, IDC_INTERVAL)};
}

void Cancel(HWND dialog) {
    ClickButton(dialog, IDCANCEL);
    EXPECT_TRUE(WaitForWindowGone(dialog, 5000));
}

class SettingsDialog : public DialogTest {
  protected:
    void ExpectRecord(int choice, int interval, int enableAutoUpdate, int askForConfirmation) {
        CUpdaterApp* app = GetUpdaterApp();
        EXPECT_EQ(app->m_updateChoice, choice);
        EXPECT_EQ(app->m_updateInterval, interval);
        EXPECT_EQ(app->m_enableAutoUpdate, enableAutoUpdate);
        EXPECT_EQ(app->m_askForConfirmation, askForConfirmation);
    }
    void ExpectNothingSaved() {
        for (const char* name : {"UpdateChoice", "UpdateInterval", "EnableAutoUpdate", "AskForConfirmation",
                                 "Server", "InstallDir"})
            EXPECT_FALSE(RegValueExists(kParamsKey, name)) << name;
    }
    void ExpectSaved(int choice, int interval, int enableAutoUpdate, int askForConfirmation) {
        EXPECT_EQ(RegDword(kParamsKey, "UpdateChoice"), static_cast<DWORD>(choice));
        EXPECT_EQ(RegDword(kParamsKey, "UpdateInterval"), static_cast<DWORD>(interval));
        EXPECT_EQ(RegDword(kParamsKey, "EnableAutoUpdate"), static_cast<DWORD>(enableAutoUpdate));
        EXPECT_EQ(RegDword(kParamsKey, "AskForConfirmation"), static_cast<DWORD>(askForConfirmation));
    }
};

TEST_F(SettingsDialog, OpensWithTheDefaultsAndTheTemplatesControls) {
    UiScript script([] {
        HWND dialog = WaitForWindow("#32770", kSettingsCaption);
        ASSERT_NE(dialog, nullptr);
        // Template order is the tab order.
        std::vector<int> ids;
        for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
            ids.push_back(::GetDlgCtrlID(child));
        EXPECT_EQ(ids,
                  (std::vector<int>{IDC_ENABLE_AUTO_UPDATE, IDC_UPDATE_NOW_BUTTON, 0xFFFF,
                                    IDC_CHECK_ON_STARTUP, IDC_AUTO_UPDATE_EVERY, IDC_INTERVAL, 0xFFFF,
                                    IDC_ASK_CONFIRMATION, 0xFFFF, 0xFFFF, IDOK, IDCANCEL, IDC_HELP_BUTTON}));
        EXPECT_TRUE(IsChecked(dialog, IDC_ENABLE_AUTO_UPDATE));
        EXPECT_TRUE(IsChecked(dialog, IDC_ASK_CONFIRMATION));
        EXPECT_TRUE(IsChecked(dialog, IDC_CHECK_ON_STARTUP));
        EXPECT_FALSE(IsChecked(dialog, IDC_AUTO_UPDATE_EVERY));
        EXPECT_EQ(GetItemText(dialog, IDC_INTERVAL), "7");
        EXPECT_EQ(EnabledOf(dialog), (Enabled{true, true, true, false}));
        EXPECT_EQ(FocusOf(dialog), ::GetDlgItem(dialog, IDC_ENABLE_AUTO_UPDATE));
        EXPECT_EQ(HIWORD(::SendMessageA(dialog, DM_GETDEFID, 0, 0)), DC_HASDEFID);
        EXPECT_EQ(LOWORD(::SendMessageA(dialog, DM_GETDEFID, 0, 0)), IDOK);
        EXPECT_TRUE(NoMessageBox());
        Cancel(dialog);
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    ExpectRecord(0, 7, 1, 1);
    ExpectNothingSaved();
}

TEST_F(SettingsDialog, EnablingFollowsTheAutoUpdateFlagAndTheChoice) {
    UiScript script([] {
        HWND dialog = WaitForWindow("#32770", kSettingsCaption);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(ClickNow(dialog, IDC_ENABLE_AUTO_UPDATE)); // off
        EXPECT_EQ(EnabledOf(dialog), (Enabled{false, false, false, false}));
        ASSERT_TRUE(ClickNow(dialog, IDC_ENABLE_AUTO_UPDATE)); // on again, choice still 0
        EXPECT_EQ(EnabledOf(dialog), (Enabled{true, true, true, false}));
        ASSERT_TRUE(ClickNow(dialog, IDC_AUTO_UPDATE_EVERY));
        EXPECT_EQ(EnabledOf(dialog), (Enabled{true, true, true, true}));
        ASSERT_TRUE(ClickNow(dialog, IDC_CHECK_ON_STARTUP));
        EXPECT_EQ(EnabledOf(dialog), (Enabled{true, true, true, false}));
        ASSERT_TRUE(ClickNow(dialog, IDC_AUTO_UPDATE_EVERY));
        ASSERT_TRUE(ClickNow(dialog, IDC_ENABLE_AUTO_UPDATE)); // off with "every" selected
        EXPECT_EQ(EnabledOf(dialog), (Enabled{false, false, false, false}));
        ASSERT_TRUE(ClickNow(dialog, IDC_ENABLE_AUTO_UPDATE)); // on: the field comes back with choice 1
        EXPECT_EQ(EnabledOf(dialog), (Enabled{true, true, true, true}));
        EXPECT_TRUE(NoMessageBox(100));
        Cancel(dialog);
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    ExpectRecord(0, 7, 1, 1);
    ExpectNothingSaved();
}

TEST_F(SettingsDialog, EnableClickWithAnInvalidIntervalKeepsTheLastCompleteReading) {
    SetRecord(1, 7, 1, 1);
    UiScript script([] {
        HWND dialog = WaitForWindow("#32770", kSettingsCaption);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(EnabledOf(dialog), (Enabled{true, true, true, true}));
        SetItemText(dialog, IDC_INTERVAL, "abc");
        ASSERT_TRUE(ClickNow(dialog, IDC_CHECK_ON_STARTUP)); // disables the field without reading it
        EXPECT_FALSE(IsItemEnabled(dialog, IDC_INTERVAL));
        ClickButton(dialog, IDC_ENABLE_AUTO_UPDATE); // now unchecked, but the reading stops at the interval
        ExpectValidationBox(dialog, kIntegerText, false);
        EXPECT_FALSE(IsChecked(dialog, IDC_ENABLE_AUTO_UPDATE));
        // Auto-update on and choice 1, as last read completely when the dialog opened.
        EXPECT_EQ(EnabledOf(dialog), (Enabled{true, true, true, true}));
        Cancel(dialog);
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    ExpectRecord(1, 7, 1, 1);
    ExpectNothingSaved();
}

class SettingsStoredInterval : public SettingsDialog, public ::testing::WithParamInterface<int> {};

TEST_P(SettingsStoredInterval, IsReportedAtOnceAndRefusedUntilInRangeEvenWhileDisabled) {
    const int stored = GetParam();
    SetRecord(0, stored, 1, 0);
    UiScript script([stored] {
        // The dialog validates while it opens: the box comes before the dialog shows.
        ExpectValidationBox(nullptr, kRangeText);
        HWND dialog = WaitForWindow("#32770", kSettingsCaption);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(GetItemText(dialog, IDC_INTERVAL), std::to_string(stored));
        EXPECT_EQ(EnabledOf(dialog), (Enabled{true, true, true, false}));
        ClickButton(dialog, IDOK); // refused although the field is disabled
        ExpectValidationBox(dialog, kRangeText, false);
        ASSERT_TRUE(::IsWindowVisible(dialog));
        ASSERT_TRUE(ClickNow(dialog, IDC_AUTO_UPDATE_EVERY));
        EXPECT_TRUE(IsItemEnabled(dialog, IDC_INTERVAL));
        SetItemText(dialog, IDC_INTERVAL, "121");
        ClickButton(dialog, IDOK);
        ExpectValidationBox(dialog, kRangeText);
        SetItemText(dialog, IDC_INTERVAL, "120");
        ClickButton(dialog, IDOK);
        EXPECT_TRUE(WaitForWindowGone(dialog, 5000));
        EXPECT_TRUE(NoMessageBox(100));
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    ExpectRecord(1, 120, 1, 0);
    ExpectSaved(1, 120, 1, 0);
}

INSTANTIATE_TEST_SUITE_P(OutOfRange, SettingsStoredInterval, ::testing::Values(0, 365));

TEST_F(SettingsDialog, StoredIntervalWithAutoUpdateOffCannotBeMendedByEnablingFirst) {
    // Checking "Enable Auto-Update" runs the failing reading again, so the enabling keeps following
    // the stored "off": the radio buttons stay disabled and only Cancel is left.
    SetRecord(0, 365, 0, 1);
    UiScript script([] {
        ExpectValidationBox(nullptr, kRangeText);
        HWND dialog = WaitForWindow("#32770", kSettingsCaption);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(EnabledOf(dialog), (Enabled{false, false, false, false}));
        ClickButton(dialog, IDC_ENABLE_AUTO_UPDATE);
        ExpectValidationBox(dialog, kRangeText, false);
        EXPECT_TRUE(IsChecked(dialog, IDC_ENABLE_AUTO_UPDATE));
        EXPECT_EQ(EnabledOf(dialog), (Enabled{false, false, false, false}));
        ClickButton(dialog, IDOK);
        ExpectValidationBox(dialog, kRangeText, false);
        Cancel(dialog);
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    ExpectRecord(0, 365, 0, 1);
    ExpectNothingSaved();
}

TEST_F(SettingsDialog, TextThatIsNoIntegerIsRefused) {
    SetRecord(1, 7, 1, 1);
    UiScript script([] {
        HWND dialog = WaitForWindow("#32770", kSettingsCaption);
        ASSERT_NE(dialog, nullptr);
        for (const char* text : {"abc", "", "12x", "7.5"}) {
            SetItemText(dialog, IDC_INTERVAL, text);
            ClickButton(dialog, IDOK);
            ExpectValidationBox(dialog, kIntegerText);
            ASSERT_TRUE(::IsWindowVisible(dialog)) << text;
        }
        // Blanks around a number are accepted.
        SetItemText(dialog, IDC_INTERVAL, " 30 ");
        ClickButton(dialog, IDOK);
        EXPECT_TRUE(WaitForWindowGone(dialog, 5000));
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    ExpectRecord(1, 30, 1, 1);
}

TEST_F(SettingsDialog, StoredChoiceOutsideTheGroupSelectsNoButtonAndOkStoresMinusOne) {
    SetRecord(5, 7, 1, 1);
    UiScript script([] {
        HWND dialog = WaitForWindow("#32770", kSettingsCaption);
        ASSERT_NE(dialog, nullptr);
        EXPECT_FALSE(IsChecked(dialog, IDC_CHECK_ON_STARTUP));
        EXPECT_FALSE(IsChecked(dialog, IDC_AUTO_UPDATE_EVERY));
        EXPECT_EQ(EnabledOf(dialog), (Enabled{true, true, true, false}));
        ClickButton(dialog, IDOK);
        EXPECT_TRUE(WaitForWindowGone(dialog, 5000));
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    ExpectRecord(-1, 7, 1, 1);
    ExpectSaved(-1, 7, 1, 1);
}

TEST_F(SettingsDialog, OkStoresTheFourValuesAndSavesEverySetting) {
    SetRecord(0, 7, 1, 5); // any non-zero flag is on
    GetUpdaterApp()->m_pollTimer = 1234;
    UiScript script([] {
        HWND dialog = WaitForWindow("#32770", kSettingsCaption);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(IsChecked(dialog, IDC_ASK_CONFIRMATION));
        ASSERT_TRUE(ClickNow(dialog, IDC_AUTO_UPDATE_EVERY));
        SetItemText(dialog, IDC_INTERVAL, "30");
        ASSERT_TRUE(ClickNow(dialog, IDC_ASK_CONFIRMATION));
        ClickButton(dialog, IDOK);
        EXPECT_TRUE(WaitForWindowGone(dialog, 5000));
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    ExpectRecord(1, 30, 1, 0);
    ExpectSaved(1, 30, 1, 0);
    // All settings at once, as the store saves them; the last download is not among them.
    EXPECT_EQ(RegString(kParamsKey, "Server"), "ftp.example.invalid");
    EXPECT_EQ(RegString(kParamsKey, "PathToFile"), "/update/");
    EXPECT_EQ(RegDword(kParamsKey, "PollTimer"), 1234u);
    EXPECT_EQ(RegString(kParamsKey, "InstallDir"), ProgramDir());
    EXPECT_FALSE(RegValueExists(kParamsKey, "LastDownloadFile"));
}

TEST_F(SettingsDialog, CancelChangesNothingAfterUpdateNowAndHelp) {
    const char kInstalled[] = "C:\\Browser\\Pendlemark\\050101-update.exe";
    // What a run records stays recorded.
    m_frame->m_onUpdate = [&] { GetUpdaterApp()->RecordLastDownload(kInstalled); };
    UiScript script([] {
        HWND dialog = WaitForWindow("#32770", kSettingsCaption);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(ClickNow(dialog, IDC_AUTO_UPDATE_EVERY));
        SetItemText(dialog, IDC_INTERVAL, "44");
        ASSERT_TRUE(ClickNow(dialog, IDC_ENABLE_AUTO_UPDATE));
        ASSERT_TRUE(ClickNow(dialog, IDC_UPDATE_NOW_BUTTON));
        ClickButton(dialog, IDC_HELP_BUTTON);
        HWND help = WaitForWindow("#32770", kHelpCaption);
        ASSERT_NE(help, nullptr);
        EXPECT_EQ(::GetWindow(help, GW_OWNER), dialog); // nested in the settings dialog
        ClickButton(help, IDOK);
        ASSERT_TRUE(WaitForWindowGone(help, 5000));
        EXPECT_TRUE(::IsWindowVisible(dialog));
        EXPECT_EQ(GetItemText(dialog, IDC_INTERVAL), "44");
        Cancel(dialog);
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    EXPECT_EQ(m_frame->m_updateRuns, 1);
    ExpectRecord(0, 7, 1, 1);
    ExpectNothingSaved();
    EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), kInstalled);
}

TEST_F(SettingsDialog, UpdateNowRunsNestedInTheDialogAndIsDroppedWhileAnUpdateRuns) {
    UiScript script([this] {
        HWND dialog = WaitForWindow("#32770", kSettingsCaption);
        ASSERT_NE(dialog, nullptr);
        SetUpdateRunning(true);
        ASSERT_TRUE(ClickNow(dialog, IDC_UPDATE_NOW_BUTTON));
        EXPECT_EQ(m_frame->m_updateRuns, 0) << "not dropped while CVLUpdateRunning is signalled";
        SetUpdateRunning(false);
        ASSERT_TRUE(ClickNow(dialog, IDC_UPDATE_NOW_BUTTON));
        EXPECT_EQ(m_frame->m_updateRuns, 1);
        EXPECT_TRUE(m_frame->m_settingsOpenDuringRun);
        Cancel(dialog);
    });
    SendCommand(ID_SETTINGS);
    script.Join();
    EXPECT_EQ(m_frame->m_updateRuns, 1);
}

} // namespace
