// The admission of a package from any evidence and any pins: only an intact signature by a pinned
// publisher, of an accepted product and a higher version, is admitted, and without a pin everything
// is. Recorded versions read back as written; product lists hold no blank or empty names.
#include "FuzzCheck.h"
#include "core/PackageAdmission.h"
#include "core/VersionText.h"

namespace {
std::u16string Wide(const std::string& bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
    return text;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t flags = in.Byte();
    ThumbprintList signers;
    signers.status = static_cast<ThumbprintList::Status>(flags % 3);
    if (signers.status == ThumbprintList::Status::Valid)
        signers.thumbprints = {Thumbprint{in.Byte()}, Thumbprint{in.Byte()}};
    PackageEvidence package;
    package.trustResult = in.Number<std::int32_t>();
    if (flags & 4)
        package.signer = Thumbprint{in.Byte()};
    const std::uint64_t recorded = in.Number<std::uint64_t>();
    if (flags & 8)
        package.recorded = recorded;
    const std::uint64_t version = in.Number<std::uint64_t>();
    const std::u16string product = Wide(in.Until('\n'));
    if (flags & 16)
        package.version = PeVersionInfo{version, product};
    const ProductList products = ParseProductList(Wide(in.Rest()));

    for (const std::u16string& name : products.names)
        FUZZ_CHECK(!name.empty() && name.front() != u' ' && name.back() != u' ' &&
                   name.find(u';') == std::u16string::npos);
    FUZZ_CHECK((products.status == ProductList::Status::Names) == !products.names.empty());

    const Admission admission = DecideAdmission(signers, products, package);
    if (signers.status == ThumbprintList::Status::None)
        FUZZ_CHECK(admission == Admission::Admitted);
    else if (admission == Admission::Admitted)
        FUZZ_CHECK(IsIntactSignature(package.trustResult) && package.signer &&
                   signers.Allows(*package.signer) && package.version &&
                   products.Accepts(package.version->productName) &&
                   (!package.recorded || package.version->fileVersion > *package.recorded));

    FUZZ_CHECK(ParseVersionText(VersionText(version)) == version);
    const std::optional<std::uint64_t> parsed = ParseVersionText(std::string(product.begin(), product.end()));
    if (parsed)
        FUZZ_CHECK(ParseVersionText(VersionText(*parsed)) == parsed);
    return 0;
}
