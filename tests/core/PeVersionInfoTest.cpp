// The version resource of program images laid out as resource compilers write them: the fixed file
// version, and the product name of the first translation.
#include "core/PeFileVersion.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
void Put32(Bytes& out, std::size_t at, std::uint32_t value) {
    Put16(out, at, value & 0xFFFF);
    Put16(out, at + 2, value >> 16);
}
// Byte by byte: GCC 12 sees bounds problems in vector range inserts that are not there.
void Append(Bytes& out, const Bytes& more) {
    for (std::uint8_t byte : more)
        out.push_back(byte);
}
void Pad4(Bytes& out) {
    while (out.size() % 4)
        out.push_back(0);
}
Bytes Text(const std::u16string& text) {
    Bytes bytes;
    for (char16_t c : text + u'\0') {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

// A block: length, value length (characters for text), type, key, value, children.
Bytes Block(const std::u16string& key, const Bytes& value, bool text,
            const std::vector<Bytes>& children = {}) {
    Bytes out(6, 0);
    Bytes keyBytes = Text(key);
    Append(out, keyBytes);
    Pad4(out);
    Append(out, value);
    for (const Bytes& child : children) {
        Pad4(out);
        Append(out, child);
    }
    Put16(out, 0, static_cast<std::uint32_t>(out.size()));
    Put16(out, 2, static_cast<std::uint32_t>(text ? value.size() / 2 : value.size()));
    Put16(out, 4, text ? 1 : 0);
    return out;
}
Bytes String(const std::u16string& name, const std::u16string& value) {
    return Block(name, Text(value), true);
}
Bytes Table(const std::u16string& key, const std::vector<Bytes>& strings) {
    return Block(key, {}, true, strings);
}
Bytes Translations(const std::vector<std::uint32_t>& pairs) {
    Bytes value(4 * pairs.size(), 0);
    for (std::size_t i = 0; i < pairs.size(); ++i)
        Put32(value, 4 * i, pairs[i]);
    return Block(u"VarFileInfo", {}, true, {Block(u"Translation", value, false)});
}
Bytes VersionInfo(std::uint64_t version, const std::vector<Bytes>& children) {
    Bytes fixed(52, 0);
    Put32(fixed, 0, 0xFEEF04BD);
    Put32(fixed, 8, static_cast<std::uint32_t>(version >> 32));
    Put32(fixed, 12, static_cast<std::uint32_t>(version));
    return Block(u"VS_VERSION_INFO", fixed, false, children);
}

// A 64-bit image whose only section holds the resources: version, name 1, language 0x409.
Bytes Image(const Bytes& resource) {
    const std::size_t rsrc = 0x200;
    const std::uint32_t rva = 0x1000;
    Bytes out(rsrc + 0x58, 0);
    Put16(out, 0, 0x5A4D);
    Put32(out, 0x3C, 0x40);
    Put32(out, 0x40, 0x4550);
    Put16(out, 0x44, 0x8664);
    Put16(out, 0x46, 1);     // sections
    Put16(out, 0x54, 0xF0);  // optional header size
    Put16(out, 0x58, 0x20B); // 64-bit
    Put32(out, 0x58 + 108, 16);
    Put32(out, 0x58 + 112 + 16, rva);
    Put32(out, 0x58 + 112 + 20, static_cast<std::uint32_t>(0x58 + resource.size()));
    const std::size_t section = 0x58 + 0xF0;
    Put32(out, section + 8, static_cast<std::uint32_t>(0x58 + resource.size()));
    Put32(out, section + 12, rva);
    Put32(out, section + 16, static_cast<std::uint32_t>(0x58 + resource.size()));
    Put32(out, section + 20, static_cast<std::uint32_t>(rsrc));
    const std::uint32_t subdirectory = 0x80000000u;
    for (std::uint32_t level = 0; level < 3; ++level) {
        const std::size_t directory = rsrc + 0x18 * level;
        const std::uint32_t ids[] = {16, 1, 0x409};
        Put16(out, directory + 14, 1);
        Put32(out, directory + 16, ids[level]);
        Put32(out, directory + 20, level < 2 ? (0x18 * (level + 1)) | subdirectory : 0x48);
    }
    Put32(out, rsrc + 0x48, rva + 0x58);
    Put32(out, rsrc + 0x4C, static_cast<std::uint32_t>(resource.size()));
    Append(out, resource);
    return out;
}

constexpr std::uint64_t kVersion = 0x0002000100000007ULL;
} // namespace

TEST(PeVersionInfo, ProductNameOfTheFirstTranslation) {
    const Bytes english =
        Table(u"040904b0", {String(u"CompanyName", u"Corvalis"), String(u"ProductName", u"Menus")});
    const Bytes german = Table(u"040704B0", {String(u"ProductName", u"Men\u00fcs")});
    const struct {
        const char* what;
        std::vector<Bytes> children;
        std::u16string product;
    } cases[] = {
        {"one translation",
         {Block(u"StringFileInfo", {}, true, {english}), Translations({0x04B00409})},
         u"Menus"},
        {"the first listed, whatever the order of the tables",
         {Block(u"StringFileInfo", {}, true, {english, german}), Translations({0x04B00407, 0x04B00409})},
         u"Men\u00fcs"},
        {"no list: the first table", {Block(u"StringFileInfo", {}, true, {german, english})}, u"Men\u00fcs"},
        {"the listed table is missing",
         {Block(u"StringFileInfo", {}, true, {english}), Translations({0x04E40407})},
         u""},
        {"no ProductName",
         {Block(u"StringFileInfo", {}, true, {Table(u"040904b0", {})}), Translations({0x04B00409})},
         u""},
        {"no strings at all", {}, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PeVersionInfo info;
        const Bytes image = Image(VersionInfo(kVersion, c.children));
        ASSERT_TRUE(ReadPeVersionInfo(image.data(), image.size(), info));
        EXPECT_EQ(info.fileVersion, kVersion);
        EXPECT_EQ(info.productName, c.product);
    }
}

TEST(PeVersionInfo, DamagedBlocksNeverReadOutsideTheResource) {
    const Bytes strings =
        Block(u"StringFileInfo", {}, true, {Table(u"040904b0", {String(u"ProductName", u"Menus")})});
    Bytes longString = Image(VersionInfo(kVersion, {strings}));
    // ProductName's length claims more than its table holds: the name ends with the table.
    const Bytes key = Text(u"ProductName");
    auto at = std::search(longString.begin(), longString.end(), key.begin(), key.end()) - longString.begin();
    Put16(longString, static_cast<std::size_t>(at) - 6, 0xFFF0);
    PeVersionInfo info;
    ASSERT_TRUE(ReadPeVersionInfo(longString.data(), longString.size(), info));
    EXPECT_EQ(info.productName, u"");

    // A version block that does not hold its fixed information, and one cut short.
    Bytes noFixed = Image(Block(u"VS_VERSION_INFO", Bytes(12, 0), false));
    Bytes cut = Image(VersionInfo(kVersion, {strings}));
    cut.resize(cut.size() - 8);
    Bytes wrongKey = Image(VersionInfo(kVersion, {}));
    wrongKey[0x200 + 0x58 + 6] = 'W';
    for (const Bytes* image : {&noFixed, &cut, &wrongKey}) {
        PeVersionInfo untouched{7, u"x"};
        EXPECT_FALSE(ReadPeVersionInfo(image->data(), image->size(), untouched));
        EXPECT_EQ(untouched.fileVersion, 7u);
        EXPECT_EQ(untouched.productName, u"x");
    }
    EXPECT_FALSE(ReadPeVersionInfo(nullptr, 100, info));
}
