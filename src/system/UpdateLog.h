// The per-user log of update runs: Pendlemark.log in %LOCALAPPDATA%\Corvalis\Pendlemark, one line a step,
// kept to about 1 MiB (then it becomes Pendlemark.log.1, and a new one starts). Others may read it while
// Pendlemark writes; a log that cannot be written changes nothing a run does or shows. Several Pendlemarks
// of the user (one a session) may write it at once.
#pragma once

#include "framework/Afx.h"
#include "framework/Handles.h"

#include <cstdint>
#include <string>

class CUpdateLog {
  public:
    // A run begins, with who started it: it takes the number after the last one logged.
    void BeginRun(const std::string& startedBy);
    // Lines of a run begun earlier (by this process or the one it replaced), under that run's number.
    void Resume(std::uint64_t run);
    // A line of the run begun last; its file stays open for the run (shared with everyone).
    void Write(const std::string& text);
    std::uint64_t Run() const { return m_run; }

    // The log's folder, ending in a separator, and the log itself; empty when unknown or too long.
    static CString Folder();
    static CString FilePath();
    // The log, the one before it and their folder (when empty, and the maker's then too).
    static void Remove();

    // A log reaching this many bytes is set aside before the next line.
    static constexpr std::uint64_t kLimit = 1 << 20;

  private:
    // The log at the path is full: sets it aside and opens a new one, one Pendlemark at a time. FALSE when
    // it stays full because another program keeps it from being renamed; no line may go into it then.
    bool SetAside();
    void Append(const std::string& text);

    std::uint64_t m_run = 0;
    CString m_path;
    CHandle m_file; // open for appending while the run lasts
};
