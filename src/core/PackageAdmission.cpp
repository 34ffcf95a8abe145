#include "PackageAdmission.h"

bool IsIntactSignature(std::int32_t result) {
    return result == kTrustSuccess || result == kTrustUntrustedRoot;
}

Admission DecideAdmission(const ThumbprintList& signers, const ProductList& products,
                          const PackageEvidence& package, ProductNameMatch same) {
    if (signers.status == ThumbprintList::Status::None)
        return Admission::Admitted;
    // Some platforms keep the signer of a damaged signature: the result decides first.
    if (!IsIntactSignature(package.trustResult) || !package.signer || !signers.Allows(*package.signer))
        return Admission::Untrusted;
    const std::u16string product = package.version ? package.version->productName : std::u16string();
    if (!products.Accepts(product, same))
        return Admission::ForeignProduct;
    if (!package.version)
        return Admission::NotNewer;
    if (package.recorded && package.version->fileVersion <= *package.recorded)
        return Admission::NotNewer;
    return Admission::Admitted;
}
