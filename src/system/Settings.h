// The settings record: the values under Params in the user's registry, loaded and saved by their rows
// of the registry table, with the machine policy over them, and the two cvl.ini keys the program reads.
#pragma once

#include "RegistryTable.h"
#include "framework/Afx.h"

#include <array>
#include <atomic>
#include <string>

class CWinApp;

class CSettings {
  public:
    CSettings() = default;
    // A copy for a dialog to edit: the atomics are read once each.
    CSettings(const CSettings& other) { *this = other; }
    CSettings& operator=(const CSettings& other);

    // Through the application's profile calls, section "Params"; then the machine policy, whose values
    // replace the user's in the members below. Save writes the user's own values, never a policy's.
    void Load(CWinApp& profile);
    void Save(CWinApp& profile) const;
    bool PolicySets(RegistryName name) const { return (m_policy & PolicyBit(name)) != 0; }
    // The package that has just run, and the time: written at once.
    void RecordLastDownload(CWinApp& profile, const CString& path);

    // Each returns an empty string when the path would not fit in MAX_PATH.
    CString GetDownloadFilePath(const CString& name) const;
    CString GetLauncherFilePath(const CString& name) const;
    static CString GetProgramFilePath(const CString& name);

    // Named after the registry values.
    CString m_server;
    CString m_user;
    CString m_pass;
    int m_passiveFTP = 0;
    CString m_pathToFile;
    int m_updateChoice = 1;
    // Read by the scheduler thread while the settings dialog may assign them.
    std::atomic<int> m_updateInterval{1};
    std::atomic<int> m_enableAutoUpdate{0};
    std::atomic<int> m_askForConfirmation{0};
    int m_pollTimer = 1000;
    CString m_lastDownloadFile;
    int m_lastUpdateTime = 0;
    CString m_browserDir;  // cvl.ini [USER PREFS] CORVALIS DIRECTORY
    CString m_launcherDir; // cvl.ini [INSTALL] MAINDIR

    // The members are what every reader acts on; where the policy sets one, the user's own value waits
    // here for Save and for the day the policy goes away.
    unsigned m_policy = 0; // PolicyBit of each value the policy sets
    // One value of the record: its text, or its number.
    struct Value {
        CString text;
        int number = 0;
    };
    std::array<Value, kRegistryNames> m_own; // by RegistryName

  private:
    void ApplyMachinePolicy();
};

// The process's one record (the application's).
CSettings& TheSettings();
