// Text of a code page cut between characters, never inside one, and UTF-8 told from other bytes; the
// values of cvl.ini as the system finds them.
#include "core/CodePageText.h"
#include "core/IniText.h"

#include <gtest/gtest.h>

TEST(CodePageText, CutsFallBetweenCharactersAndOnlyWellFormedUtf8IsUtf8) {
    const LeadByteTest cp932 = [](unsigned char byte) {
        return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0;
    };
    const struct {
        std::string text;
        std::size_t maxBytes, length; // code page 932 where the text starts with 0x83, else UTF-8
    } cuts[] = {
        {"\xD0\x9A\xD0\xBE\xD1\x80", 5, 4}, {"a\xF0\x9F\x98\x80", 4, 1},
        {"\xD0\x9A\xD0\xBE", 4, 4},         {"\x80\x80\x80\x80\x80", 3, 3}, // no characters: cut where asked
        {"\x83\x5C\x83\x5C", 3, 2},
    };
    for (const auto& c : cuts) {
        const bool utf8 = c.text[0] != '\x83';
        EXPECT_EQ(FittingLength(c.text, c.maxBytes, utf8 ? LeadByteTest() : cp932, utf8), c.length) << c.text;
    }
    for (const char* text : {"", "\xD0\x9A\xD0\xBE", "a\xF0\x9F\x98\x80",
                             "\xEF\xBB\xBF"
                             "C:"})
        EXPECT_TRUE(IsUtf8(text)) << text;
    for (const char* text :
         {"Caf\xE9", "\xD0", "\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"})
        EXPECT_FALSE(IsUtf8(text)) << text;
}

TEST(IniText, TheFirstSectionOfThatNameHoldsTheValueWithoutBlanksAndQuotes) {
    const std::string text =
        "MAINDIR=C:\\none\r\n[install]\r\n; MAINDIR=C:\\comment\r\n  maindir  =  \"C:\\Caf\xE9 \" \r\n"
        "[ USER PREFS ]\nCORVALIS DIRECTORY\n[USER PREFS]\nCORVALIS DIRECTORY=C:\\later\n[Q]\nKEY='\n"
        "OPEN=\"C:\\x\nMIXED=\"C:\\x'\n";
    EXPECT_EQ(IniValue(text, "INSTALL", "MAINDIR"), std::string("C:\\Caf\xE9 "));
    // The first [USER PREFS], written with blanks, has the key without "=".
    EXPECT_EQ(IniValue(text, "USER PREFS", "CORVALIS DIRECTORY"), std::nullopt);
    EXPECT_EQ(IniValue(text, "Q", "KEY"), std::string("'"));
    // Quotes that enclose nothing stay.
    EXPECT_EQ(IniValue(text, "Q", "OPEN"), std::string("\"C:\\x"));
    EXPECT_EQ(IniValue(text, "Q", "MIXED"), std::string("\"C:\\x'"));
    EXPECT_EQ(IniValue(text, "MISSING", "MAINDIR"), std::nullopt);
}
