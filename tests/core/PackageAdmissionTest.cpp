// Whether a package may run, decided from what the platform found in it and what the client pins; and
// the texts that decision reads (versions as recorded, product lists as administrators write them).
#include "core/PackageAdmission.h"
#include "core/VersionText.h"

#include <gtest/gtest.h>

namespace {
const Thumbprint kA{0xA1};
const Thumbprint kB{0xB2};
constexpr std::int32_t kBadDigest = static_cast<std::int32_t>(0x80096010u);
constexpr std::int32_t kNoSignature = static_cast<std::int32_t>(0x800B0100u);
constexpr std::int32_t kExpired = static_cast<std::int32_t>(0x800B0101u);
constexpr std::int32_t kRevoked = static_cast<std::int32_t>(0x800B010Cu);
constexpr std::int32_t kExplicitDistrust = static_cast<std::int32_t>(0x800B0111u);

constexpr std::uint64_t V(std::uint64_t a, std::uint64_t b) {
    return a << 48 | b << 32;
}
} // namespace

TEST(PackageAdmission, SignatureFirstThenProductThenVersion) {
    ThumbprintList pinA;
    pinA.status = ThumbprintList::Status::Valid;
    pinA.thumbprints = {kA};
    ThumbprintList malformed;
    malformed.status = ThumbprintList::Status::Malformed;
    const ThumbprintList none;
    const ProductList anyProduct;
    const ProductList menus = ParseProductList(u"Corvalis Menus; Pendlemark");
    const ProductList nothing = ParseProductList(u" ; ");
    const PeVersionInfo menus1{V(1, 0), u"Corvalis Menus"};
    const PeVersionInfo menus2{V(2, 0), u"CORVALIS menus"};
    const PeVersionInfo toolbox{V(9, 0), u"Corvalis Toolbox"};
    const PeVersionInfo nameless{V(1, 5), u""};
    using A = Admission;
    const std::optional<PeVersionInfo> noVersion;
    const std::optional<std::uint64_t> noRecord;
    const struct {
        const char* what;
        const ThumbprintList& signers;
        const ProductList& products;
        std::int32_t result;
        std::optional<Thumbprint> signer;
        std::optional<PeVersionInfo> version;
        std::optional<std::uint64_t> recorded;
        Admission expected;
    } cases[] = {
        {"no pin: anything runs, as always", none, nothing, kNoSignature, std::nullopt, noVersion, V(3, 0),
         A::Admitted},
        {"pinned signer, first of its product", pinA, anyProduct, 0, kA, menus1, noRecord, A::Admitted},
        {"untrusted root of a pinned signer", pinA, anyProduct, kTrustUntrustedRoot, kA, menus1, noRecord,
         A::Admitted},
        {"bad digest though the signer is pinned", pinA, anyProduct, kBadDigest, kA, menus2, noRecord,
         A::Untrusted},
        {"expired signer", pinA, anyProduct, kExpired, kA, menus2, noRecord, A::Untrusted},
        {"revoked signer", pinA, anyProduct, kRevoked, kA, menus2, noRecord, A::Untrusted},
        {"explicitly distrusted", pinA, anyProduct, kExplicitDistrust, kA, menus2, noRecord, A::Untrusted},
        {"unsigned", pinA, anyProduct, kNoSignature, std::nullopt, menus2, noRecord, A::Untrusted},
        {"intact but no signer found", pinA, anyProduct, 0, std::nullopt, menus2, noRecord, A::Untrusted},
        {"another signer", pinA, anyProduct, 0, kB, menus2, noRecord, A::Untrusted},
        {"malformed pin", malformed, anyProduct, 0, kA, menus2, noRecord, A::Untrusted},
        {"untrusted goes before a foreign product", pinA, menus, 0, kB, toolbox, noRecord, A::Untrusted},
        {"listed product, any case", pinA, menus, 0, kA, menus2, V(1, 0), A::Admitted},
        {"product not listed", pinA, menus, 0, kA, toolbox, noRecord, A::ForeignProduct},
        {"a list naming nothing", pinA, nothing, 0, kA, menus1, noRecord, A::ForeignProduct},
        {"foreign goes before an old version", pinA, menus, 0, kA, toolbox, V(10, 0), A::ForeignProduct},
        {"no version resource, no list", pinA, anyProduct, 0, kA, noVersion, noRecord, A::NotNewer},
        {"no version resource has no product", pinA, menus, 0, kA, noVersion, noRecord, A::ForeignProduct},
        {"same version again", pinA, anyProduct, 0, kA, menus1, V(1, 0), A::NotNewer},
        {"older version", pinA, anyProduct, 0, kA, menus1, V(2, 0), A::NotNewer},
        {"older in the last part only", pinA, anyProduct, 0, kA, PeVersionInfo{V(2, 0) | 4, u"x"},
         V(2, 0) | 5, A::NotNewer},
        {"newer version", pinA, anyProduct, 0, kA, menus2, V(1, 0) | 0xFFFF, A::Admitted},
        {"a product without name", pinA, anyProduct, 0, kA, nameless, noRecord, A::Admitted},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PackageEvidence package{c.result, c.signer, c.version, c.recorded};
        EXPECT_EQ(DecideAdmission(c.signers, c.products, package), c.expected);
    }
}

TEST(PackageAdmission, VersionsAsRecorded) {
    EXPECT_EQ(VersionText(0x0001000200030004ULL), "1.2.3.4");
    EXPECT_EQ(VersionText(0xFFFF00000000FFFFULL), "65535.0.0.65535");
    EXPECT_EQ(ThreePartVersionText(0x0001000200030004ULL), "1.2.3"); // this program's, on the wire
    const struct {
        const char* text;
        std::optional<std::uint64_t> version;
    } cases[] = {
        {"1.2.3.4", 0x0001000200030004ULL}, {"65535.65535.65535.65535", ~0ULL}, {"00001.0.0.0", V(1, 0)},
        {"65536.0.0.0", std::nullopt},      {"000001.0.0.0", std::nullopt},     {"1.2.3", std::nullopt},
        {"1.2.3.4.5", std::nullopt},        {"1.2.3.", std::nullopt},           {" 1.2.3.4", std::nullopt},
        {"1.2.3.4 ", std::nullopt},         {"1.-2.3.4", std::nullopt},         {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseVersionText(c.text), c.version) << c.text;
}

TEST(PackageAdmission, ProductListsAsAdministratorsWriteThem) {
    EXPECT_EQ(ParseProductList(u"").status, ProductList::Status::None);
    EXPECT_TRUE(ParseProductList(u"").Accepts(u"anything"));
    const struct {
        std::u16string text;
        std::vector<std::u16string> names;
    } cases[] = {
        {u"Corvalis Menus", {u"Corvalis Menus"}},
        {u" A ;B;;\tC  D ;", {u"A", u"B", u"C  D"}},
        {u";;", {}},
        {u"  ", {}},
    };
    for (const auto& c : cases) {
        const ProductList list = ParseProductList(c.text);
        EXPECT_EQ(list.names, c.names);
        EXPECT_EQ(list.status, c.names.empty() ? ProductList::Status::Empty : ProductList::Status::Names);
        EXPECT_FALSE(list.Accepts(u""));
    }
    const ProductList list = ParseProductList(u"Corvalis Menus");
    EXPECT_TRUE(list.Accepts(u"corvalis MENUS"));
    EXPECT_FALSE(list.Accepts(u"Corvalis Menus 2"));
    EXPECT_FALSE(list.Accepts(u"Corvalis"));
}
