#include "PackageTrust.h"

#include <bcrypt.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstring>
#include <vector>

namespace {
const char kPolicyKey[] = "Software\\Policies\\Corvalis\\Pendlemark";
const char kUserKey[] = "Software\\Corvalis\\Pendlemark\\Params";
const char kValueName[] = "PackageSigners";

std::wstring Widen(const CString& text) {
    int length = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
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

CPackageTrust::CPackageTrust() : m_signers(LoadPinnedSigners()) {}

BOOL CPackageTrust::ReadSignersValue(HKEY root, const char* key, CString& text) {
    CRegKey opened;
    // Policies are shared by both registry views; the 64-bit one is asked for explicitly so a 32-bit
    // build reads what an administrator set.
    if (opened.Open(root, key, KEY_QUERY_VALUE | KEY_WOW64_64KEY) != ERROR_SUCCESS)
        return FALSE;
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegQueryValueExA(opened.Get(), kValueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return FALSE;
    std::vector<char> data(size + 2, '\0');
    if (::RegQueryValueExA(opened.Get(), kValueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                           &size) != ERROR_SUCCESS)
        return FALSE;
    data.resize(size + 2, '\0'); // always terminated, whatever was stored
    text.clear();
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        text = data.data();
    } else if (type == REG_MULTI_SZ) {
        for (const char* entry = data.data(); *entry && entry < data.data() + size;
             entry += std::strlen(entry) + 1) {
            if (!text.empty())
                text += ';';
            text += entry;
        }
    } else {
        text = "?"; // present but not text: never a valid list
    }
    return TRUE;
}

ThumbprintList CPackageTrust::LoadPinnedSigners() {
    CString text;
    // An administrator's non-empty policy alone decides; the user cannot weaken it.
    if (!ReadSignersValue(HKEY_LOCAL_MACHINE, kPolicyKey, text) || text.empty()) {
        if (!ReadSignersValue(HKEY_CURRENT_USER, kUserKey, text))
            text.clear();
    }
    return ParseThumbprintList(text);
}

BOOL CPackageTrust::Admit(const CString& path) {
    Release();
    if (!InForce())
        return TRUE;
    // Read sharing only: nobody may change, replace or delete the file while it is checked and started,
    // yet the system can still open it to run it.
    m_hPackage.Reset(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_hPackage)
        return FALSE;
    Thumbprint signer{};
    LONG result = 0;
    return VerifiedSigner(m_hPackage.Get(), path, signer, result) && m_signers.Allows(signer);
}

bool CPackageTrust::IsIntactSignature(LONG result) {
    // An untrusted root still means an intact signature and digest; the pin decides who signed.
    return result == ERROR_SUCCESS || result == CERT_E_UNTRUSTEDROOT;
}

BOOL CPackageTrust::VerifiedSigner(HANDLE file, const CString& path, Thumbprint& signer, LONG& lastResult) {
    std::wstring widePath = Widen(path);
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
    lastResult = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    CTrustState state(data);
    if (!IsIntactSignature(lastResult))
        return FALSE;
    CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* primary =
        provider ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT* certificate = primary ? ::WTHelperGetProvCertFromChain(primary, 0) : nullptr;
    if (!certificate || !certificate->pCert)
        return FALSE;
    // Windows reports an expired signer itself; some implementations do not. The signer must be valid
    // when it signed (its time stamp) or, without one, now.
    FILETIME asOf = primary->sftVerifyAsOf;
    if (asOf.dwLowDateTime == 0 && asOf.dwHighDateTime == 0)
        ::GetSystemTimeAsFileTime(&asOf);
    if (::CertVerifyTimeValidity(&asOf, certificate->pCert->pCertInfo) != 0) {
        lastResult = CERT_E_EXPIRED;
        return FALSE;
    }
    DWORD size = static_cast<DWORD>(signer.size());
    return ::CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, certificate->pCert->pbCertEncoded,
                                   certificate->pCert->cbCertEncoded, signer.data(), &size) &&
           size == signer.size();
}
