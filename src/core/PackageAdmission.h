// Whether a downloaded package may run: the whole decision, from what the platform found in the held
// file (its signature's result and signer, its version resource) and what the client pins.
#pragma once

#include "PeFileVersion.h"
#include "ProductList.h"
#include "ThumbprintList.h"

#include <cstdint>
#include <optional>

enum class Admission {
    Admitted,
    Untrusted,      // no intact signature by a pinned publisher
    ForeignProduct, // a product the client does not take
    NotNewer,       // no version, or not above the version installed last of its product
};

// The results of the platform's signature check that leave the decision to the pin: success, and a
// chain ending in a root the machine does not trust (a publisher's own certificate; signature and
// digest are intact, and the pin decides who signed).
constexpr std::int32_t kTrustSuccess = 0;
constexpr std::int32_t kTrustUntrustedRoot = static_cast<std::int32_t>(0x800B0109u); // CERT_E_UNTRUSTEDROOT
bool IsIntactSignature(std::int32_t result);

struct PackageEvidence {
    std::int32_t trustResult = -1;         // of the signature check, after the signer's validity period
    std::optional<Thumbprint> signer;      // the primary signer's certificate, wherever the check found one
    std::optional<PeVersionInfo> version;  // nothing without a version resource
    std::optional<std::uint64_t> recorded; // installed last of the package's product; nothing if none
};

// Without a pin every package is admitted, as it always was. With one, in this order: an intact
// signature by a pinned publisher, then an accepted product (a package without version resource has
// none), then a version above the recorded one.
Admission DecideAdmission(const ThumbprintList& signers, const ProductList& products,
                          const PackageEvidence& package, ProductNameMatch same = SameNameIgnoringAsciiCase);
