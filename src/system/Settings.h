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

class CSettings {
  public:
    CSettings() = default;
    // A copy for a dialog to edit: the atomics are read once each.
    CSettings(const CSettings& other) { *this = other; }
    CSettings& operator=(const CSettings& other);

    // Through the application's profile calls, section "Params".
    void Load(CWinApp& profile);
    void Save(CWinApp& profile) const;
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
};

// A text value under Params of the user's registry beside the record, read whole; empty when missing or
// not text. Writing empty text deletes the value.
std::string ReadParamsText(const char* name);
void WriteParamsText(const char* name, const std::string& text);

// The process's one record (the application's).
CSettings& TheSettings();
