// Throwaway publishers and signed packages made by the build (tests/support/make_signed_packages.sh),
// and the pins of trusted packages in the test prefix's registry.
#pragma once

#include <windows.h>

#include <string>

namespace pmtest {

// A file of the build's trust folder (signed-a.exe, signed-b.exe, unsigned.exe, tampered-a.exe,
// expired.exe, not-pe.exe, and the thumbprints a.sha256, b.sha256, expired.sha256).
std::string TrustPackage(const char* name);
// The upper-case SHA-256 thumbprint of publisher "a", "b" or "expired".
std::string PublisherThumbprint(const char* who);

// PackageSigners under the machine policy key or the user's settings key; null deletes it.
void SetPolicyPin(const char* text, DWORD type = REG_SZ);
void SetUserPin(const char* text, DWORD type = REG_SZ);
// Removes both, and the policy key.
void ClearPins();

} // namespace pmtest
