// File versions read from program images as they lie on disk, and bytes that are no such image.
#include "core/PeFileVersion.h"
#include "support/TestEnv.h"

#include "Version.h"

#include <gtest/gtest.h>

namespace {
std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// The image cut off in the middle of its version resource's key.
std::vector<std::uint8_t> CutInVersionResource(const std::string& image) {
    const std::string key("V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0", 20);
    size_t at = image.find(key);
    return Bytes(image.substr(0, at == std::string::npos ? 0 : at + 10));
}
} // namespace

TEST(PeFileVersion, ReadsTheVersionResourceOfBuiltProgramsAndRefusesOtherBytes) {
    const std::uint64_t built = (static_cast<std::uint64_t>(PM_VERSION_MAJOR) << 48) |
                                (static_cast<std::uint64_t>(PM_VERSION_MINOR) << 32) |
                                (static_cast<std::uint64_t>(PM_VERSION_PATCH) << 16);
    const std::string file = pmtest::ReadFileText(pmtest::BuiltProgram("Pendlemark.exe"));
    const std::vector<std::uint8_t> program = Bytes(file);
    ASSERT_GT(program.size(), 4096u);
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool read;
    } cases[] = {
        {"Pendlemark.exe", program, true},
        {"cvlx.exe", Bytes(pmtest::ReadFileText(pmtest::BuiltProgram("cvlx.exe"))), true},
        {"a program without version", Bytes(pmtest::ReadFileText(pmtest::BuiltProgram("pm_event.exe"))),
         false},
        {"cut in its version resource", CutInVersionResource(file), false},
        {"cut after the headers", std::vector<std::uint8_t>(program.begin(), program.begin() + 1024), false},
        {"text", Bytes("MZ but nothing else"), false},
        {"empty", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint64_t version = 7;
        EXPECT_EQ(ReadPeFileVersion(c.bytes, version), c.read);
        EXPECT_EQ(version, c.read ? built : 7u);
    }
}
