#include "PeFileVersion.h"

#include <cstddef>

namespace {
constexpr std::uint32_t kVersionResourceType = 16; // RT_VERSION
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr std::uint32_t kSubdirectory = 0x80000000u;

class Reader {
  public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}

    bool Has(std::size_t offset, std::size_t size) const {
        return offset <= m_bytes.size() && size <= m_bytes.size() - offset;
    }
    std::uint32_t U16(std::size_t offset) const {
        return Has(offset, 2) ? static_cast<std::uint32_t>(m_bytes[offset] | (m_bytes[offset + 1] << 8)) : 0;
    }
    std::uint32_t U32(std::size_t offset) const { return U16(offset) | (U16(offset + 2) << 16); }

  private:
    const std::vector<std::uint8_t>& m_bytes;
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
} // namespace

bool ReadPeFileVersion(const std::vector<std::uint8_t>& image, std::uint64_t& version) {
    Reader in(image);
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
    const std::uint32_t dataSize = in.U32(dataEntry + 4);

    // VS_VERSIONINFO: length, value length, type, the key "VS_VERSION_INFO" in UTF-16 with its
    // terminator, padding to 32 bits, then the fixed file information.
    const std::size_t fixed = data + 40;
    if (dataSize < 40 + 52 || !in.Has(data, dataSize) || in.U16(data + 2) < 52 ||
        in.U32(fixed) != kFixedInfoSignature)
        return false;
    version = (static_cast<std::uint64_t>(in.U32(fixed + 8)) << 32) | in.U32(fixed + 12);
    return true;
}
