// Trust in one downloaded package: the publishers pinned by policy or by the user, the Authenticode
// signature, and a hold on the file from the check until the package has been started.
#pragma once

#include "core/ThumbprintList.h"
#include "framework/Afx.h"
#include "framework/Handles.h"

class CPackageTrust {
  public:
    // Reads the pin in force now.
    CPackageTrust();

    // The machine policy's value when it is there and not empty, else the user's; empty text: no pin.
    static ThumbprintList LoadPinnedSigners();
    // The value's text, REG_MULTI_SZ entries joined by ";"; FALSE when missing. A value of another type
    // gives TRUE with an unusable text, so that a wrong type can never switch verification off.
    static BOOL ReadSignersValue(HKEY root, const char* key, CString& text);

    // Without a pin every package is admitted, as it always was.
    bool InForce() const { return m_signers.status != ThumbprintList::Status::None; }
    // With a pin: opens the file denying write and delete to everyone else, keeps it open, and
    // admits it only when it carries an intact signature by a pinned publisher.
    BOOL Admit(const CString& path);
    // Ends the hold once the package has been started or refused.
    void Release() { m_hPackage.Close(); }
    bool Holding() const { return static_cast<bool>(m_hPackage); }

    // The results of WinVerifyTrust that leave the decision to the pin.
    static bool IsIntactSignature(LONG result);
    // SHA-256 thumbprint of the primary signer's certificate of an open file, after WinVerifyTrust
    // found the signature intact; FALSE otherwise. lastResult gets WinVerifyTrust's result.
    static BOOL VerifiedSigner(HANDLE file, const CString& path, Thumbprint& signer, LONG& lastResult);

    ThumbprintList m_signers;

  private:
    CHandle m_hPackage;
};
