#include "PeFileVersion.h"

#include "AsciiCase.h"

namespace {
constexpr std::uint32_t kVersionResourceType = 16; // RT_VERSION
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::size_t kFixedInfoSize = 52;
constexpr std::size_t kBlockHeader = 6; // length, value length, type

class Reader {
  public:
    Reader(const std::uint8_t* bytes, std::size_t size) : m_bytes(bytes), m_size(size) {}

    bool Has(std::size_t offset, std::size_t size) const {
        return offset <= m_size && size <= m_size - offset;
    }
    std::uint32_t U16(std::size_t offset) const {
        return Has(offset, 2) ? static_cast<std::uint32_t>(m_bytes[offset] | (m_bytes[offset + 1] << 8)) : 0;
    }
    std::uint32_t U32(std::size_t offset) const { return U16(offset) | (U16(offset + 2) << 16); }

  private:
    const std::uint8_t* m_bytes;
    std::size_t m_size;
};

struct Section {
    std::uint32_t address, virtualSize, rawSize, rawOffset;
};

// File offset of an address of the loaded image, through the section table; false outside every section.
bool FileOffset(const std::vector<Section>& sections, std::uint32_t address, std::size_t& offset) {
    for (const Section& section : sections) {
        std::uint32_t extent = section.virtualSize > section.rawSize ? section.virtualSize : section.rawSize;
        if (address >= section.address && address - section.address < extent &&
            address - section.address < section.rawSize) {
            offset = static_cast<std::size_t>(section.rawOffset) + (address - section.address);
            return true;
        }
    }
    return false;
}

// The entry of a resource directory with that id, or its first entry when id is 0; 0 when none.
std::uint32_t DirectoryEntry(const Reader& in, std::size_t directory, std::uint32_t id) {
    std::uint32_t count = in.U16(directory + 12) + in.U16(directory + 14);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t entry = directory + 16 + 8 * static_cast<std::size_t>(i);
        if (!in.Has(entry, 8))
            return 0;
        if (id == 0 || in.U32(entry) == id)
            return in.U32(entry + 4);
    }
    return 0;
}

std::size_t Align4(std::size_t offset, std::size_t base) {
    return base + ((offset - base + 3) & ~static_cast<std::size_t>(3));
}

// One block of the version resource: a header, a UTF-16 key, a value, then child blocks, each part
// aligned to 32 bits from the resource's start. Blocks never reach outside their parent.
struct Block {
    std::size_t end = 0;
    std::u16string key;
    std::size_t value = 0; // where the value starts
    std::size_t valueBytes = 0;
    std::size_t children = 0;
};

// UTF-16 text from offset up to its terminator or the limit.
std::u16string Text(const Reader& in, std::size_t offset, std::size_t limit, std::size_t& after) {
    std::u16string text;
    while (offset + 2 <= limit) {
        char16_t c = static_cast<char16_t>(in.U16(offset));
        offset += 2;
        if (c == 0)
            break;
        text += c;
    }
    after = offset;
    return text;
}

bool ReadBlock(const Reader& in, std::size_t base, std::size_t offset, std::size_t parentEnd, Block& block) {
    if (offset > parentEnd || parentEnd - offset < kBlockHeader || !in.Has(offset, kBlockHeader))
        return false;
    const std::size_t length = in.U16(offset);
    if (length < kBlockHeader || length > parentEnd - offset)
        return false;
    block.end = offset + length;
    std::size_t afterKey = 0;
    block.key = Text(in, offset + kBlockHeader, block.end, afterKey);
    block.value = Align4(afterKey, base);
    // Text values count characters, binary ones bytes.
    const std::size_t valueLength = in.U16(offset + 2);
    block.valueBytes = in.U16(offset + 4) == 1 ? 2 * valueLength : valueLength;
    if (block.value > block.end || block.valueBytes > block.end - block.value)
        block.valueBytes = block.value > block.end ? 0 : block.end - block.value;
    block.children = Align4(block.value + block.valueBytes, base);
    return true;
}

// Calls visit for each child block until it returns true.
template <typename Visit>
void ForEachChild(const Reader& in, std::size_t base, const Block& parent, Visit visit) {
    for (std::size_t offset = parent.children; offset < parent.end;) {
        Block child;
        if (!ReadBlock(in, base, offset, parent.end, child) || visit(child))
            return;
        offset = Align4(child.end, base);
    }
}

std::u16string TableKey(std::uint32_t translation) {
    static const char16_t kHex[] = u"0123456789abcdef";
    // Language, then code page: the low word first.
    const std::uint32_t key = (translation << 16) | (translation >> 16);
    std::u16string text;
    for (int shift = 28; shift >= 0; shift -= 4)
        text += kHex[(key >> shift) & 15];
    return text;
}

std::u16string ProductName(const Reader& in, std::size_t base, const Block& root) {
    // The first translation listed under VarFileInfo\Translation.
    bool listed = false;
    std::u16string wanted;
    ForEachChild(in, base, root, [&](const Block& info) {
        if (info.key != u"VarFileInfo")
            return false;
        ForEachChild(in, base, info, [&](const Block& var) {
            if (var.key != u"Translation" || var.valueBytes < 4)
                return false;
            listed = true;
            wanted = TableKey(in.U32(var.value));
            return true;
        });
        return listed;
    });
    std::u16string product;
    ForEachChild(in, base, root, [&](const Block& info) {
        if (info.key != u"StringFileInfo")
            return false;
        bool found = false;
        ForEachChild(in, base, info, [&](const Block& table) {
            if (listed && !SameIgnoringAsciiCase(table.key, wanted))
                return false;
            found = true;
            ForEachChild(in, base, table, [&](const Block& string) {
                if (string.key != u"ProductName")
                    return false;
                std::size_t ignored = 0;
                product = Text(in, string.value, string.value + string.valueBytes, ignored);
                return true;
            });
            return true;
        });
        return found;
    });
    return product;
}
} // namespace

bool ReadPeVersionInfo(const std::uint8_t* image, std::size_t size, PeVersionInfo& info) {
    Reader in(image, image ? size : 0);
    if (in.U16(0) != 0x5A4D) // "MZ"
        return false;
    const std::size_t pe = in.U32(0x3C);
    if (!in.Has(pe, 24) || in.U32(pe) != 0x00004550) // "PE\0\0"
        return false;
    const std::size_t coff = pe + 4;
    const std::uint32_t sectionCount = in.U16(coff + 2);
    const std::size_t optional = coff + 20;
    const std::size_t sectionTable = optional + in.U16(coff + 16);
    std::size_t directories = 0;
    std::uint32_t directoryCount = 0;
    switch (in.U16(optional)) {
    case 0x10B: // 32-bit image
        directoryCount = in.U32(optional + 92);
        directories = optional + 96;
        break;
    case 0x20B: // 64-bit image
        directoryCount = in.U32(optional + 108);
        directories = optional + 112;
        break;
    default:
        return false;
    }
    if (directoryCount < 3 || !in.Has(directories + 16, 8))
        return false;
    const std::uint32_t resourceAddress = in.U32(directories + 16);

    std::vector<Section> sections;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        std::size_t header = sectionTable + 40 * static_cast<std::size_t>(i);
        if (!in.Has(header, 40))
            return false;
        sections.push_back(
            {in.U32(header + 12), in.U32(header + 8), in.U32(header + 16), in.U32(header + 20)});
    }
    std::size_t root = 0;
    if (resourceAddress == 0 || !FileOffset(sections, resourceAddress, root))
        return false;

    // Type, then name, then language: the first version resource found ends in a data entry.
    std::uint32_t entry = DirectoryEntry(in, root, kVersionResourceType);
    for (int level = 0; level < 2; ++level) {
        const std::size_t directory = root + (entry & ~kSubdirectory);
        if (!(entry & kSubdirectory) || !in.Has(directory, 16))
            return false;
        entry = DirectoryEntry(in, directory, 0);
    }
    if (entry == 0 || (entry & kSubdirectory))
        return false;
    const std::size_t dataEntry = root + entry;
    std::size_t data = 0;
    if (!in.Has(dataEntry, 16) || !FileOffset(sections, in.U32(dataEntry), data))
        return false;
    const std::size_t dataSize = in.U32(dataEntry + 4);
    if (!in.Has(data, dataSize))
        return false;

    // VS_VERSIONINFO: its value is the fixed file information, its children the string tables and the
    // list of translations.
    Block version;
    if (!ReadBlock(in, data, data, data + dataSize, version) || version.key != u"VS_VERSION_INFO" ||
        version.valueBytes < kFixedInfoSize || in.U32(version.value) != kFixedInfoSignature)
        return false;
    info.fileVersion =
        (static_cast<std::uint64_t>(in.U32(version.value + 8)) << 32) | in.U32(version.value + 12);
    info.productName = ProductName(in, data, version);
    return true;
}

bool ReadPeFileVersion(const std::vector<std::uint8_t>& image, std::uint64_t& version) {
    PeVersionInfo info;
    if (!ReadPeVersionInfo(image.data(), image.size(), info))
        return false;
    version = info.fileVersion;
    return true;
}
