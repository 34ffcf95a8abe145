// Joining paths character-wise in a double-byte code page, and never past 259 characters.
#include "core/PathJoin.h"

#include <gtest/gtest.h>

namespace {
// Code page 932 (Shift-JIS): 0x83 0x5C is one character whose second byte looks like a backslash.
bool Cp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
} // namespace

TEST(PathJoin, SeparatorOnlyWhenMissingAndTrailBytesAreNoSeparators) {
    const LeadByteTest cp932 = Cp932LeadByte;
    const LeadByteTest singleByte;
    const std::string sjis = "C:\\\x83\x5C";
    const struct {
        const char* what;
        std::string directory, name;
        const LeadByteTest& code;
        std::string joined;
    } cases[] = {
        {"plain", "C:\\Browser", "Pendlemark", singleByte, "C:\\Browser\\Pendlemark"},
        {"backslash", "C:\\Browser\\", "Pendlemark", singleByte, "C:\\Browser\\Pendlemark"},
        {"slash", "C:/Browser/", "x.exe", singleByte, "C:/Browser/x.exe"},
        {"empty directory", "", "cvl.exe", singleByte, "cvl.exe"},
        {"empty name", "C:\\Browser", "", singleByte, "C:\\Browser\\"},
        {"trail byte 0x5C", sjis, "a.exe", cp932, sjis + "\\a.exe"},
        {"0x5C after a single-byte 0x83", sjis, "a.exe", singleByte, sjis + "a.exe"},
        {"real backslash after the character", sjis + "\\", "a.exe", cp932, sjis + "\\a.exe"},
        {"lead byte without its trail", "C:\\\x83", "a.exe", cp932, "C:\\\x83\\a.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(JoinPath(c.directory, c.name, c.code), c.joined);
    }
    EXPECT_EQ(DirectoryOf("C:\\\x83\x5Cname.exe", cp932), "C:\\");
    EXPECT_EQ(DirectoryOf("C:\\\x83\x5Cname.exe", singleByte), "C:\\\x83\x5C");
    EXPECT_EQ(DirectoryOf("C:\\dir/name.exe", singleByte), "C:\\dir/");
    EXPECT_EQ(DirectoryOf("C:name.exe", singleByte), "C:");
    EXPECT_EQ(DirectoryOf("name.exe", singleByte), "");
}

TEST(PathJoin, ResultsLongerThan259AreRefusedNotCut) {
    const std::string directory(250, 'a');
    EXPECT_EQ(JoinPath(directory, "12345678", LeadByteTest()).size(), 259u);
    EXPECT_EQ(JoinPath(directory, "123456789", LeadByteTest()), "");
    EXPECT_EQ(JoinPath(std::string(259, 'a'), "", LeadByteTest()), "");
}
