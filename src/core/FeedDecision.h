// Whether a fetched update list may be used, and which of its packages to fetch: the whole decision,
// from the list, what the platform found in its signature and what the client knows.
#pragma once

#include "ThumbprintList.h"
#include "UpdateFeed.h"

#include <cstdint>
#include <optional>

enum class FeedVerdict {
    Accepted,
    Untrusted, // a signature was required, and none came verified, intact and by a pinned signer
    Expired,   // its expiry has passed
    Older,     // its serial is below the one of the list used last: an old list served again
    NoPackage, // none of its packages is offered to this client
};

// What the signature's signed attributes say of the list's bytes.
enum class SignedDigest {
    Absent, // no signed attributes: the signature itself covers the bytes
    Matched,
    Mismatched,
};

struct FeedSignature {
    bool verified = false;            // a signature file came with the list and the platform verified it
    std::optional<Thumbprint> signer; // the signer's certificate, wherever the check found one
    SignedDigest digest = SignedDigest::Absent;
};

struct FeedClient {
    bool signedListsRequired = false;            // by policy, pinned or not: without a pin no list passes
    std::int64_t now = 0;                        // seconds since 1970-01-01 UTC
    std::optional<std::uint64_t> recordedSerial; // of the list used last; nothing if none
    int bucket = 0; // 0-99, this client's place in every rollout; beyond, the nearer end counts
};

struct FeedDecision {
    FeedVerdict verdict = FeedVerdict::Untrusted;
    std::optional<FeedEntry> entry; // the package to fetch, when accepted
};

// A signature is required while a pin is in force (a malformed one too) or the policy asks for one;
// otherwise the signature is not looked at. In this order: a trusted signature, an expiry not before
// now, a serial not below the recorded one, then the package ChooseNewestPackage takes among those
// offered to the bucket: rolled out to more percent than the bucket's number.
FeedDecision DecideFeed(const UpdateFeed& feed, const FeedSignature& signature, const ThumbprintList& signers,
                        const FeedClient& client);
