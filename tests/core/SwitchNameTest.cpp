// Switch names: any case of ASCII letters, but a double-byte character only as it is.
#include "core/SwitchName.h"

#include <gtest/gtest.h>

TEST(SwitchName, AsciiCaseIsIgnoredDoubleByteCharactersAreNot) {
    const LeadByteTest cp932 = [](unsigned char byte) {
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    };
    const struct {
        const char *param, *name;
        bool cp932Equal, singleByteEqual;
    } cases[] = {
        {"uninstall", "uninstall", true, true},
        {"UNINSTALL", "uninstall", true, true},
        {"UnInstall", "uninstall", true, true},
        {"updateonstartup", "UpdateOnStartup", true, true},
        {"NOUPDATEONSTARTUP", "NoUpdateOnStartup", true, true},
        {"uninstal", "uninstall", false, false},
        {"uninstalls", "uninstall", false, false},
        {"-uninstall", "uninstall", false, false},
        {"", "uninstall", false, false},
        {"\x83\x61", "\x83\x41", false, true}, // a trail byte is no letter in code page 932
        {"x\x83\x41", "x\x83\x41", true, true},
        {"\xC9", "\xE9", false, false},         // only ASCII letters fold
        {"\xD0\x9A", "\xD0\xBA", false, false}, // nor do Cyrillic ones in UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.param);
        EXPECT_EQ(IsSwitchNamed(c.param, c.name, cp932), c.cp932Equal);
        EXPECT_EQ(IsSwitchNamed(c.param, c.name, LeadByteTest()), c.singleByteEqual);
    }
}
