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

class CRunSnapshot;

class CPackageTrust {
  public:
    // The pins of the run's snapshot; what it installs is recorded through it.
    explicit CPackageTrust(CRunSnapshot& snapshot);

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
    ThumbprintList m_signers;
    ProductList m_products;

  private:
    CRunSnapshot& m_snapshot;
    CHeldPackage m_package;
    std::optional<PeVersionInfo> m_admitted; // what an admitted pinned package is
};
