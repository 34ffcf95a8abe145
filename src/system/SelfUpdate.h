// Restarting into the new version after an update package has replaced the program's own file.
#pragma once

#include "ProgramIdentity.h"

class CSelfUpdate {
  public:
    // How long a start with /AfterUpdate waits for the instance it replaces to give up CVLRunOnce.
    static constexpr DWORD kPredecessorWaitMs = 30000;

    // Notes the program file this process was started from.
    void RememberProgram();
    // The file at the program's path is another one than the process started from.
    bool ProgramReplaced() const;
    // Starts the file now at the program's path with /AfterUpdate; FALSE when it could not be started.
    BOOL StartNewVersion() const;
    // Deletes Pendlemark.exe.old, cvlx.exe.old and CVLHelp.htm.old, which an installer renamed aside
    // beside the program and could not delete because they were in use. The instance that ran the old
    // program may still be ending.
    void RemoveSetAsideFiles() const;

  private:
    CString m_path;
    CProgramIdentity m_startedFrom;
};

// The process's record of the program file it started from.
CSelfUpdate& ProgramSelfUpdate();
