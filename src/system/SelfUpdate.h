// Restarting into the new version after an update package has replaced the program's own file, and
// putting the previous version back when the new one does not prove itself (CNewVersionProof).
#pragma once

#include "NewVersionProof.h"
#include "ProgramIdentity.h"

#include <cstdint>

class CSelfUpdate {
  public:
    // How long a start with /AfterUpdate waits for the instance it replaces to give up CVLRunOnce.
    static constexpr DWORD kPredecessorWaitMs = 30000;

    // Notes the program file this process was started from.
    void RememberProgram();
    // The file at the program's path is another one than the process started from.
    bool ProgramReplaced() const;
    // Before a package of an update run starts: what its setup may change, should it replace this program.
    void NotePackageStart() { m_proof.NoteRecords(); }
    // Starts the file now at the program's path with /AfterUpdate, watched until it has proved itself
    // when setup set this program aside beside it (run: the update run that installed it). FALSE when
    // it could not be started; a watched one has then been undone, and this instance runs on.
    BOOL StartNewVersion(std::uint64_t run);
    // After this instance has closed: the proof of the version it started, if one is pending.
    void FinishProof() { m_proof.Finish(); }

    // In a start with /AfterUpdate. Deletes Pendlemark.exe.old, cvlx.exe.old and CVLHelp.htm.old, which
    // an installer renamed aside beside the program; the instance that ran the old program may still be
    // ending. Once the proof of this process has ended, when one watches it; at once otherwise.
    void RemoveSetAsideFilesAfterProof();
    void RemoveSetAsideFiles() const;
    // This process is resident: counts for its proof.
    static void ReportResident() { CNewVersionProof::ReportResident(); }

  private:
    CString m_path;
    CProgramIdentity m_startedFrom;
    CNewVersionProof m_proof;
};

// The process's record of the program file it started from.
CSelfUpdate& ProgramSelfUpdate();
