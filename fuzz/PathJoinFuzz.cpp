// Path joining in a single-byte and a double-byte code page. Input: a flag byte choosing the code
// page, then the directory up to a zero byte, then the name.
#include "FuzzCheck.h"
#include "core/PathJoin.h"

namespace {
bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const LeadByteTest cp932 = Cp932LeadByte;
    const LeadByteTest singleByte;
    const LeadByteTest& isLeadByte = (input.Byte() & 1) ? cp932 : singleByte;
    const std::string directory = input.Until('\0');
    const std::string name = input.Rest();

    const std::string joined = JoinPath(directory, name, isLeadByte);
    const bool separated = !directory.empty() && !EndsWithSeparator(directory, isLeadByte);
    const std::size_t length = directory.size() + (separated ? 1 : 0) + name.size();
    if (length > kMaxBuiltPath) {
        FUZZ_CHECK(joined.empty());
    } else {
        FUZZ_CHECK(joined.size() == length);
        FUZZ_CHECK(joined.compare(0, directory.size(), directory) == 0);
        FUZZ_CHECK(joined.compare(joined.size() - name.size(), name.size(), name) == 0);
        FUZZ_CHECK(!separated || joined[directory.size()] == '\\');
    }

    // A separator at the end in a double-byte code page is one in a single-byte code page too.
    if (EndsWithSeparator(directory, isLeadByte))
        FUZZ_CHECK(EndsWithSeparator(directory, singleByte));
    if (EndsWithSeparator(directory, singleByte))
        FUZZ_CHECK(IsSeparator(directory.back()));

    const std::string folder = DirectoryOf(directory, isLeadByte);
    FUZZ_CHECK(directory.compare(0, folder.size(), folder) == 0);
    FUZZ_CHECK(folder.empty() || IsSeparator(folder.back()) || folder.size() == 2);
    return 0;
}
