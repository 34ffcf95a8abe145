#include "ProofReport.h"

#include "VersionText.h"

#include <cstdio>

namespace {
std::string Seconds(std::uint32_t ms) {
    return std::to_string(ms / 1000) + " s";
}
} // namespace

std::string ExitCodeText(std::uint32_t code) {
    if (!(code & 0x80000000u))
        return std::to_string(code);
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
    return text;
}

std::string ProofStartLine(std::uint64_t newVersion, std::uint32_t processId) {
    return "new version " + VersionText(newVersion) + " started as process " + std::to_string(processId) +
           "; the previous one is kept until it is resident and still runs " + Seconds(kStillRunningMs) +
           " later";
}

std::string ProofEndLine(ProofEnd end, std::uint64_t newVersion, std::uint32_t code) {
    const std::string version = "new version " + VersionText(newVersion);
    switch (end) {
    case ProofEnd::Proven:
        return version + " is resident and still running after " + Seconds(kStillRunningMs) +
               ": the update is complete";
    case ProofEnd::NotStarted:
        return version + " failed: it could not be started (error " + std::to_string(code) + ")";
    case ProofEnd::EndedUnresident:
        return version + " failed: it ended with exit code " + ExitCodeText(code) + " before it was resident";
    case ProofEnd::NotResident:
        return version + " failed: not resident within " + Seconds(kResidentWithinMs) + ", ended";
    case ProofEnd::EndedEarly:
        return version + " failed: it ended with exit code " + ExitCodeText(code) + " within " +
               Seconds(kStillRunningMs) + " of being resident";
    case ProofEnd::ShutDown:
        break;
    }
    return version + ": asked to quit while it proved itself; nothing was put back";
}

std::string PutBackLine(std::uint64_t previousVersion, bool restarted, const std::string& notBack,
                        std::uint32_t error) {
    const std::string version = "previous version " + VersionText(previousVersion);
    if (!notBack.empty())
        return "could not put the " + version + " back whole: " + notBack + " (error " +
               std::to_string(error) + "); what is not back in place stays beside it as .old";
    return "kept the " + version + ": its files and records are back, and it " +
           (restarted ? "was started again" : "stays resident");
}
