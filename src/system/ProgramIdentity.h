// What tells one build of a program file from another: size, last-write time and file version.
#pragma once

#include "framework/Afx.h"

#include <cstdint>
#include <string>

class CProgramIdentity {
  public:
    // The file at that path now; an unreadable or missing file gives an identity that is not known.
    static CProgramIdentity Of(const CString& path);

    bool IsKnown() const { return m_known; }
    // Both known and alike in size, last-write time and version.
    bool SameAs(const CProgramIdentity& other) const;

    std::uint64_t m_size = 0;
    std::uint64_t m_lastWrite = 0; // FILETIME, 100 ns units
    std::uint64_t m_version = 0;   // FILEVERSION's four parts, 0 without a version resource

  private:
    bool m_known = false;
};

// The FILEVERSION of the running program's own version resource, as loaded ("a.b.c", the fourth part left
// out); "0.0.0" without one.
std::string RunningProgramVersion();
