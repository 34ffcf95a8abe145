// The settings record: the values under Params in the user's registry and the two cvl.ini keys the
// program reads, with every registry name in one place.
#pragma once

#include "framework/Afx.h"

#include <atomic>
#include <string>

class CWinApp;

// The registry keys of the program, below the hive's root: the maker's, the program's, the per-user
// settings, the record of installed package versions, and the machine policy.
extern const char kMakerKeyPath[];
extern const char kProgramKeyPath[];
extern const char kParamsKeyPath[];
extern const char kPackagesKeyPath[];
extern const char kPolicyKeyPath[];

// The update interval in days that the settings dialog accepts.
constexpr int kMinUpdateInterval = 1;
constexpr int kMaxUpdateInterval = 120;

// The settings a machine policy can set over the user's own, one bit each.
enum PolicySetting : unsigned {
    kPolicyServer = 1u << 0,
    kPolicyPathToFile = 1u << 1,
    kPolicyPassiveFTP = 1u << 2,
    kPolicyUpdateChoice = 1u << 3,
    kPolicyUpdateInterval = 1u << 4,
    kPolicyEnableAutoUpdate = 1u << 5,
    kPolicyAskForConfirmation = 1u << 6,
};

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
    bool PolicySets(unsigned settings) const { return (m_policy & settings) != 0; }
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
    unsigned m_policy = 0; // PolicySetting bits
    struct UserValues {
        CString server;
        CString pathToFile;
        int passiveFTP = 0;
        int updateChoice = 0;
        int updateInterval = 0;
        int enableAutoUpdate = 0;
        int askForConfirmation = 0;
    } m_own;

  private:
    void ApplyMachinePolicy();
};

// A text value under Params of the user's registry beside the record, read whole; empty when missing or
// not text. Writing empty text deletes the value.
std::string ReadParamsText(const char* name);
void WriteParamsText(const char* name, const std::string& text);

// The process's one record (the application's).
CSettings& TheSettings();
