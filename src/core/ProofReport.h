// How a new version, started after a self-update, proved itself or failed to, and the update log's lines
// on it: which version, what it did, and what became of the previous one.
#pragma once

#include <cstdint>
#include <string>

// The proof's limits: resident within this long of its start, then still running this long after.
constexpr std::uint32_t kResidentWithinMs = 30000;
constexpr std::uint32_t kStillRunningMs = 10000;

enum class ProofEnd {
    Proven,          // resident in time and still running after the watch
    NotStarted,      // its process could not be made
    EndedUnresident, // it ended before it was resident
    NotResident,     // not resident at the limit: it was ended
    EndedEarly,      // resident, then ended during the watch
    ShutDown,        // asked to quit meanwhile (CVLShutdown): an uninstall or a setup wins
};

// Whether the previous version comes back after that end.
inline bool PutsPreviousBack(ProofEnd end) {
    return end != ProofEnd::Proven && end != ProofEnd::ShutDown;
}

// A process's exit code as a reader looks it up: a status (high bit set) in hexadecimal, 0xC0000005,
// any other in decimal.
std::string ExitCodeText(std::uint32_t code);

// The line when the new version (FILEVERSION) has been started as that process.
std::string ProofStartLine(std::uint64_t newVersion, std::uint32_t processId);
// The line on the end: code is the exit code (ended) or the system's error (not started).
std::string ProofEndLine(ProofEnd end, std::uint64_t newVersion, std::uint32_t code);
// The line on the previous version after a failed proof: all of it back, and started again (or still
// running, when the new one never started); or the first file that could not be put back.
std::string PutBackLine(std::uint64_t previousVersion, bool restarted, const std::string& notBack,
                        std::uint32_t error);
