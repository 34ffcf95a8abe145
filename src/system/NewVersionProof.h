// A new version, started after an update package replaced the program, proves itself before the
// previous one lets go: it counts as good once resident (it holds CVLRunOnce, its main window answers,
// its tray icon is shown) within 30 s of its start and still running 10 s later. Until then the copies
// that setup set aside as .old stay; when it fails, the instance that ran the package puts the previous
// files and records back and starts the previous version again, without a word to the user.
//
// The two sides meet through kernel objects named after the new process's id, made by the watcher
// before that process runs at all: an event it signals once resident, and a mutex the watcher holds
// while the proof lasts, which the new version waits for before it deletes the set-aside files.
#pragma once

#include "RegistryValue.h"
#include "core/ProofReport.h"
#include "framework/Afx.h"
#include "framework/Handles.h"

#include <cstdint>
#include <functional>

class CNewVersionProof {
  public:
    // In the instance that runs the package, before it starts: the values its setup may change (the
    // uninstall entry's version and the record of product Pendlemark), so that a failed proof can put
    // them back as they were, whatever their type, or absence.
    void NoteRecords();
    // Starts the program at path with /AfterUpdate, watched; run is the update run that installed it,
    // whose log lines the proof continues. FALSE when it could not be started: the previous files are
    // then back in place, and this instance (still resident) runs from them again.
    BOOL Start(const CString& path, std::uint64_t previousVersion, std::uint64_t run);
    bool Pending() const { return static_cast<bool>(m_process); }
    // Once this instance has given up its windows, tray icon, scheduler and lock: watches the new one
    // to the end of its proof. A new version that fails is ended if it still runs, the previous files
    // and records come back and the previous version is started again, checking for no update at its
    // start. CVLShutdown (an uninstall, a setup) wins over everything: nothing is put back or started.
    void Finish();

    // In a new version started with /AfterUpdate: runs removeSetAside once the proof of this process
    // has ended well, on a thread of its own (bounded); at once when no proof watches it.
    void AfterProof(const std::function<void()>& removeSetAside);
    // This process is resident now (it holds the lock, its window and tray icon exist).
    static void ReportResident();

  private:
    ProofEnd Watch(DWORD& code);
    bool Answers(DWORD timeoutMs) const;
    // The previous files and records back; TRUE when all of them are.
    bool PutBack(std::string& notBack, DWORD& error);
    void Log(const std::string& line) const;
    void Close();

    CString m_path;
    std::uint64_t m_previousVersion = 0;
    std::uint64_t m_newVersion = 0;
    std::uint64_t m_run = 0;
    bool m_noted = false;
    StoredRegistryValue m_displayVersion;
    StoredRegistryValue m_record;
    CHandle m_process; // the new version, started by us
    DWORD m_processId = 0;
    ULONGLONG m_started = 0;
    CHandle m_proof;    // owned while the proof lasts
    CHandle m_resident; // signalled by the new version
    CHandle m_shutdown; // CVLShutdown, held from before the start so that no request is missed
    CHandle m_waiter;   // in the new version: the thread that waits for the proof's end
};
