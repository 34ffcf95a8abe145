// Trust in one downloaded package: the publishers and products pinned by policy or by the user, the
// Authenticode signature, the version against the one installed last of its product, and a hold on the
// file from the check until the package has been started.
#pragma once

#include "HeldPackage.h"
#include "core/PackageAdmission.h"
#include "framework/Afx.h"
#include "framework/Handles.h"

#include <optional>
#include <string>

class CPackageTrust {
  public:
    // Reads the pins in force now.
    CPackageTrust();

    // For each value, the machine policy's when it is there and not empty, else the user's.
    static ThumbprintList LoadPinnedSigners();
    static ProductList LoadPackageProducts();

    // Without a pin every package is admitted, as it always was.
    bool InForce() const { return m_signers.status != ThumbprintList::Status::None; }
    // The hold on the fetched file from its checks until it has started (see CHeldPackage): opened, or
    // taken over from the handle that wrote it.
    bool Hold(const CString& path) { return m_package.Open(path); }
    bool TakeOver(CHandle writer, const CString& path) { return m_package.TakeOver(std::move(writer), path); }
    const CHeldPackage& Package() const { return m_package; }
    // With a pin: decides from the bytes held, holding the file first unless it is held already.
    Admission Admit(const CString& path);
    // Ends the hold once the package has been started or refused.
    void Release() { m_package.Release(); }
    bool Holding() const { return static_cast<bool>(m_package.Get()); }
    // After the admitted package has run: its version becomes the one installed of its product. What was
    // recorded ("product a.b.c.d"); empty when nothing (no pin, so no admitted version).
    std::string RecordInstalled();

    // WinVerifyTrust's result for an open file (CERT_E_EXPIRED for a signer outside its validity), and
    // the primary signer's SHA-256 certificate thumbprint wherever the platform found one.
    static LONG CheckSignature(HANDLE file, const CString& path, std::optional<Thumbprint>& signer);
    // The version recorded for a product (the default value for the empty name); none when missing or
    // not "a.b.c.d" (whoever can damage it can as well delete it).
    static std::optional<std::uint64_t> RecordedVersion(const std::u16string& product);
    static void RecordVersion(const std::u16string& product, std::uint64_t version);

    ThumbprintList m_signers;
    ProductList m_products;

  private:
    CHeldPackage m_package;
    std::optional<PeVersionInfo> m_admitted; // what an admitted pinned package is
};
