#include "PackageTrust.h"

#include "DelayLoads.h"
#include "core/VersionText.h"
#include "system/ProgramIdentity.h"
#include "RunSnapshot.h"
#include "system/AnsiText.h"
#include "system/StartProgram.h"

#include <bcrypt.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

namespace {
const std::u16string kOwnProduct = u"Pendlemark";

struct CViewFree {
    void operator()(const void* view) const { ::UnmapViewOfFile(view); }
};
using CMappedView = CScopedHandle<const void*, CViewFree>;

// The version resource of the held file, read through a view of it: the bytes that were checked.
std::optional<PeVersionInfo> VersionOf(HANDLE file) {
    CHandle mapping(::CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    LARGE_INTEGER size{};
    if (!mapping || !::GetFileSizeEx(file, &size) || static_cast<ULONGLONG>(size.QuadPart) > SIZE_MAX)
        return std::nullopt;
    CMappedView view(::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    PeVersionInfo info;
    if (!view || !ReadPeVersionInfo(static_cast<const std::uint8_t*>(view.Get()),
                                    static_cast<std::size_t>(size.QuadPart), info))
        return std::nullopt;
    return info;
}

// The open WinVerifyTrust state, closed exactly once.
class CTrustState {
  public:
    explicit CTrustState(WINTRUST_DATA& data) : m_data(data) {}
    ~CTrustState() {
        if (!m_data.hWVTStateData)
            return;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        m_data.dwStateAction = WTD_STATEACTION_CLOSE;
        ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &m_data);
        m_data.hWVTStateData = nullptr;
    }
    CTrustState(const CTrustState&) = delete;
    CTrustState& operator=(const CTrustState&) = delete;

  private:
    WINTRUST_DATA& m_data;
};
} // namespace

CPackageTrust::CPackageTrust(CRunSnapshot& snapshot)
    : m_signers(snapshot.m_signers), m_products(snapshot.m_products), m_snapshot(snapshot) {}

Admission CPackageTrust::Admit(const CString& path) {
    m_admitted.reset();
    if (!InForce())
        return Admission::Admitted;
    // Without the platform's signature libraries nothing can be verified.
    if (!DelayLoadsAvailable())
        return Admission::Untrusted;
    if (!m_package.Holds(path) && !m_package.Open(path))
        return Admission::Untrusted;
    PackageEvidence package;
    package.trustResult = CheckSignature(m_package.Get(), path, package.signer);
    package.version = VersionOf(m_package.Get());
    if (package.version) {
        package.recorded = m_snapshot.InstalledVersion(package.version->productName);
        // This program never goes below the version running now, recorded or not.
        if (SameNameIgnoringCase(package.version->productName, kOwnProduct)) {
            const std::uint64_t own = CProgramIdentity::Of(ModulePath()).m_version;
            if (own != 0 && (!package.recorded || *package.recorded < own))
                package.recorded = own;
        }
    }
    const Admission admission = DecideAdmission(m_signers, m_products, package, &SameNameIgnoringCase);
    if (admission == Admission::Admitted)
        m_admitted = package.version;
    return admission;
}

std::string CPackageTrust::RecordInstalled() {
    std::string recorded;
    if (m_admitted) {
        m_snapshot.RecordVersion(m_admitted->productName, m_admitted->fileVersion);
        recorded = AsciiOf(m_admitted->productName) + " " + VersionText(m_admitted->fileVersion);
    }
    m_admitted.reset();
    return recorded;
}

LONG CPackageTrust::CheckSignature(HANDLE file, const CString& path, std::optional<Thumbprint>& signer) {
    signer.reset();
    std::wstring widePath = AfxWiden(path.c_str());
    WINTRUST_FILE_INFO fileInfo{};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = widePath.c_str();
    fileInfo.hFile = file; // the checked bytes are those of the handle we hold
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    // Clients are often offline; the pin is the stronger check.
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    LONG result = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    CTrustState state(data);
    // The signer is taken whatever the result: the admission decides on both.
    CRYPT_PROVIDER_DATA* provider =
        data.hWVTStateData ? ::WTHelperProvDataFromStateData(data.hWVTStateData) : nullptr;
    CRYPT_PROVIDER_SGNR* primary =
        provider ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT* certificate = primary ? ::WTHelperGetProvCertFromChain(primary, 0) : nullptr;
    if (!certificate || !certificate->pCert)
        return result;
    // Windows reports an expired signer itself; some implementations do not. The signer must be valid
    // when it signed (its time stamp) or, without one, now.
    FILETIME asOf = primary->sftVerifyAsOf;
    if (asOf.dwLowDateTime == 0 && asOf.dwHighDateTime == 0)
        ::GetSystemTimeAsFileTime(&asOf);
    if (IsIntactSignature(result) && ::CertVerifyTimeValidity(&asOf, certificate->pCert->pCertInfo) != 0)
        result = CERT_E_EXPIRED;
    Thumbprint thumbprint{};
    DWORD size = static_cast<DWORD>(thumbprint.size());
    if (::CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, certificate->pCert->pbCertEncoded,
                                certificate->pCert->cbCertEncoded, thumbprint.data(), &size) &&
        size == thumbprint.size())
        signer = thumbprint;
    return result;
}
