// The detached PKCS#7 signature of an update list, checked with CryptoAPI.
#pragma once

#include "core/FeedDecision.h"

#include <string>

// Verified only for one signer, SHA-256, whose certificate the message carries and whose signature over
// the list (or over its signed attributes) holds. The signed attributes' message digest is compared
// with the list's SHA-256 here: not every implementation of the platform does.
FeedSignature CheckListSignature(const std::string& list, const std::string& signature);
