// The update log's lines on a new version's proof: which version, how it failed, what was kept.
#include "core/ProofReport.h"

#include <gtest/gtest.h>

TEST(ProofReport, SaysWhichVersionFailedHowAndWhatBecameOfThePreviousOne) {
    const std::uint64_t next = 0x0001000100000000; // 1.1.0.0
    const struct {
        ProofEnd end;
        std::uint32_t code;
        bool putsBack;
        const char* line;
    } cases[] = {
        {ProofEnd::Proven, 0, false,
         "new version 1.1.0.0 is resident and still running after 10 s: the update is complete"},
        {ProofEnd::NotStarted, 193, true, "new version 1.1.0.0 failed: it could not be started (error 193)"},
        {ProofEnd::EndedUnresident, 0xC0000005, true,
         "new version 1.1.0.0 failed: it ended with exit code 0xC0000005 before it was resident"},
        {ProofEnd::NotResident, 1460, true, "new version 1.1.0.0 failed: not resident within 30 s, ended"},
        {ProofEnd::EndedEarly, 1, true,
         "new version 1.1.0.0 failed: it ended with exit code 1 within 10 s of being resident"},
        {ProofEnd::ShutDown, 0, false,
         "new version 1.1.0.0: asked to quit while it proved itself; nothing was put back"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(ProofEndLine(c.end, next, c.code), c.line);
        EXPECT_EQ(PutsPreviousBack(c.end), c.putsBack);
    }
    EXPECT_EQ(ExitCodeText(0x7FFFFFFF), "2147483647");
    EXPECT_EQ(ExitCodeText(0xC0000135), "0xC0000135");
    EXPECT_EQ(PutBackLine(0x0001000000000000, false, "", 0),
              "kept the previous version 1.0.0.0: its files and records are back, and it stays resident");
    EXPECT_EQ(
        PutBackLine(0x0001000000000000, true, "CVLHelp.htm", 32),
        "could not put the previous version 1.0.0.0 back whole: CVLHelp.htm (error 32); what is not back "
        "in place stays beside it as .old");
}
