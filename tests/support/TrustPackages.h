// Throwaway publishers and signed packages made by the build (tests/support/make_signed_packages.sh),
// and the pins of trusted packages in the test prefix's registry.
#pragma once

#include <windows.h>

#include <string>

namespace pmtest {

// A file of the build's trust folder (signed-a.exe, signed-b.exe, unsigned.exe, tampered-a.exe,
// expired.exe, not-pe.exe, and the thumbprints a.sha256, b.sha256, expired.sha256). All but not-pe.exe
// are "Corvalis Menus" 1.0.0.0; signed by a: signed-a-menus-2.exe ("Corvalis Menus" 2.0.0.0),
// signed-a-toolbox.exe ("Corvalis Toolbox" 3.0.0.0), signed-a-nameless.exe (1.5.0.0, no product name)
// and signed-a-bare.exe (no version resource).
std::string TrustPackage(const char* name);
// The upper-case SHA-256 thumbprint of publisher "a", "b" or "expired".
std::string PublisherThumbprint(const char* who);

// PackageSigners (or PackageProducts) under the machine policy key or the user's settings key; null
// deletes it. In a REG_MULTI_SZ value, ";" separates the strings.
void SetPolicyPin(const char* text, DWORD type = REG_SZ, const char* name = "PackageSigners");
void SetUserPin(const char* text, DWORD type = REG_SZ, const char* name = "PackageSigners");
// Removes both values of the user, and the policy key.
void ClearPins();

} // namespace pmtest
