// Makes the test prefix trust the test servers' root: pm_trust_root CERT adds the certificate (PEM or DER)
// to the machine's Root store of this Wine prefix, replacing an earlier copy. The host's store is never
// touched. Exit codes: 0 added, 1 usage, 2 unreadable file, 3 not a certificate, 4 no store.
#include <windows.h>

#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2)
        return 1;
    std::ifstream in(argv[1], std::ios::binary);
    if (!in)
        return 2;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // PEM is decoded; anything that does not decode is taken as DER.
    std::vector<BYTE> der(text.begin(), text.end());
    DWORD size = 0;
    if (CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER,
                             nullptr, &size, nullptr, nullptr)) {
        der.resize(size);
        CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER,
                             der.data(), &size, nullptr, nullptr);
        der.resize(size);
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
    if (!store)
        return 4;
    const BOOL added =
        CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                         CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(store, 0);
    return added ? 0 : 3;
}
