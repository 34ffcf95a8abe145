#include "ListSignature.h"

#include "DelayLoads.h"
#include "Sha256.h"
#include "framework/Handles.h"

#include <wincrypt.h>

#include <cstring>
#include <vector>

namespace {
constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct CMsgFree {
    void operator()(HCRYPTMSG message) const { ::CryptMsgClose(message); }
};
struct CStoreFree {
    void operator()(HCERTSTORE store) const { ::CertCloseStore(store, 0); }
};
struct CCertFree {
    void operator()(PCCERT_CONTEXT certificate) const { ::CertFreeCertificateContext(certificate); }
};
using CCryptMsg = CScopedHandle<HCRYPTMSG, CMsgFree>;
using CCertStore = CScopedHandle<HCERTSTORE, CStoreFree>;
using CCertificate = CScopedHandle<PCCERT_CONTEXT, CCertFree>;

// A parameter of the message as bytes; empty when it has none.
std::vector<BYTE> MessageParam(HCRYPTMSG message, DWORD type) {
    DWORD size = 0;
    if (!::CryptMsgGetParam(message, type, 0, nullptr, &size) || size == 0)
        return {};
    std::vector<BYTE> data(size);
    if (!::CryptMsgGetParam(message, type, 0, data.data(), &size))
        return {};
    data.resize(size);
    return data;
}

template <class T> const T* As(const std::vector<BYTE>& data) {
    return data.size() >= sizeof(T) ? reinterpret_cast<const T*>(data.data()) : nullptr;
}

// What the signed attributes say of the list; no attributes at all leave the signature alone to cover it.
SignedDigest DigestAttribute(HCRYPTMSG message, const std::string& list) {
    DWORD size = 0;
    if (!::CryptMsgGetParam(message, CMSG_SIGNER_AUTH_ATTR_PARAM, 0, nullptr, &size))
        return SignedDigest::Absent;
    std::vector<BYTE> data(size);
    if (!::CryptMsgGetParam(message, CMSG_SIGNER_AUTH_ATTR_PARAM, 0, data.data(), &size))
        return SignedDigest::Mismatched;
    const auto* attributes = As<CRYPT_ATTRIBUTES>(data);
    if (!attributes || attributes->cAttr == 0)
        return SignedDigest::Absent;
    CSha256 hash;
    hash.Add(list.data(), list.size());
    const std::optional<Sha256Digest> digest = hash.Finish();
    for (DWORD i = 0; digest && i < attributes->cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = attributes->rgAttr[i];
        if (std::strcmp(attribute.pszObjId, szOID_RSA_messageDigest) != 0 || attribute.cValue != 1)
            continue;
        BYTE decoded[128];
        DWORD decodedSize = sizeof decoded;
        if (!::CryptDecodeObject(kEncoding, X509_OCTET_STRING, attribute.rgValue[0].pbData,
                                 attribute.rgValue[0].cbData, 0, decoded, &decodedSize))
            return SignedDigest::Mismatched;
        const auto* value = reinterpret_cast<const CRYPT_DATA_BLOB*>(decoded);
        const bool same = value->cbData == digest->size() &&
                          std::memcmp(value->pbData, digest->data(), digest->size()) == 0;
        return same ? SignedDigest::Matched : SignedDigest::Mismatched;
    }
    return SignedDigest::Mismatched; // attributes without the digest sign something else
}
} // namespace

FeedSignature CheckListSignature(const std::string& list, const std::string& signature) {
    FeedSignature result;
    if (!DelayLoadsAvailable())
        return result;
    CCryptMsg message(::CryptMsgOpenToDecode(kEncoding, CMSG_DETACHED_FLAG, 0, 0, nullptr, nullptr));
    if (!message || signature.empty() || signature.size() > MAXDWORD || list.size() > MAXDWORD ||
        !::CryptMsgUpdate(message.Get(), reinterpret_cast<const BYTE*>(signature.data()),
                          static_cast<DWORD>(signature.size()), TRUE) ||
        !::CryptMsgUpdate(message.Get(), reinterpret_cast<const BYTE*>(list.data()),
                          static_cast<DWORD>(list.size()), TRUE))
        return result;
    const std::vector<BYTE> count = MessageParam(message.Get(), CMSG_SIGNER_COUNT_PARAM);
    const std::vector<BYTE> signerInfo = MessageParam(message.Get(), CMSG_SIGNER_INFO_PARAM);
    const auto* signers = As<DWORD>(count);
    const auto* info = As<CMSG_SIGNER_INFO>(signerInfo);
    if (!signers || *signers != 1 || !info || !info->HashAlgorithm.pszObjId ||
        std::strcmp(info->HashAlgorithm.pszObjId, szOID_NIST_sha256) != 0)
        return result;

    const std::vector<BYTE> certInfo = MessageParam(message.Get(), CMSG_SIGNER_CERT_INFO_PARAM);
    CCertStore store(::CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, message.Get()));
    if (!store || !As<CERT_INFO>(certInfo))
        return result;
    CCertificate certificate(::CertGetSubjectCertificateFromStore(
        store.Get(), kEncoding, const_cast<CERT_INFO*>(As<CERT_INFO>(certInfo))));
    if (!certificate)
        return result;
    CSha256 thumbprint;
    thumbprint.Add(certificate.Get()->pbCertEncoded, certificate.Get()->cbCertEncoded);
    if (std::optional<Sha256Digest> digest = thumbprint.Finish())
        result.signer = *digest;
    result.verified = ::CryptMsgControl(message.Get(), 0, CMSG_CTRL_VERIFY_SIGNATURE,
                                        certificate.Get()->pCertInfo) != FALSE;
    result.digest = DigestAttribute(message.Get(), list);
    return result;
}
