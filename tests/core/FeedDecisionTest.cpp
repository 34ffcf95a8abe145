// Whether an update list is used and which package it gives, from its signature, the clock, the serial
// used last and the client's rollout bucket.
#include "core/FeedDecision.h"

#include <gtest/gtest.h>

#include <utility>

namespace {
const Thumbprint kA{0xA1};
const Thumbprint kB{0xB2};
const std::int64_t kExpires = 1000000;

UpdateFeed Feed(const std::vector<std::pair<const char*, int>>& packages) {
    UpdateFeed feed{10, kExpires, {}};
    for (const auto& [name, rollout] : packages)
        feed.entries.push_back({name, 100 + feed.entries.size(), Sha256{0x5A}, rollout});
    return feed;
}
} // namespace

TEST(FeedDecision, TrustThenExpiryThenSerial) {
    ThumbprintList pinA;
    pinA.status = ThumbprintList::Status::Valid;
    pinA.thumbprints = {kA};
    ThumbprintList malformed;
    malformed.status = ThumbprintList::Status::Malformed;
    const ThumbprintList none;
    using V = FeedVerdict;
    using D = SignedDigest;
    const FeedSignature unsignedList;
    const FeedSignature byA{true, kA, D::Matched};
    const FeedSignature byAWithoutAttributes{true, kA, D::Absent};
    const FeedSignature byAOtherBytes{true, kA, D::Mismatched};
    const FeedSignature byANotVerified{false, kA, D::Matched};
    const FeedSignature byNobodyFound{true, std::nullopt, D::Matched};
    const FeedSignature byB{true, kB, D::Matched};
    const FeedSignature broken{false, kB, D::Mismatched};
    const std::optional<std::uint64_t> noRecord;
    const std::int64_t now = kExpires;
    const struct {
        const char* what;
        const ThumbprintList& pins;
        bool policy;
        const FeedSignature& signature;
        std::int64_t now;
        std::optional<std::uint64_t> recorded;
        FeedVerdict verdict;
    } cases[] = {
        {"no pin, no policy: unsigned", none, false, unsignedList, now, noRecord, V::Accepted},
        {"no pin, no policy: the signature is not looked at", none, false, broken, now, noRecord,
         V::Accepted},
        {"policy without a pin trusts nothing", none, true, byA, now, noRecord, V::Untrusted},
        {"pinned signer", pinA, false, byA, now, noRecord, V::Accepted},
        {"pinned signer, policy too", pinA, true, byA, now, noRecord, V::Accepted},
        {"pinned signer, no signed attributes", pinA, false, byAWithoutAttributes, now, noRecord,
         V::Accepted},
        {"pinned signer, digest of other bytes", pinA, false, byAOtherBytes, now, noRecord, V::Untrusted},
        {"pinned signer, not verified", pinA, false, byANotVerified, now, noRecord, V::Untrusted},
        {"unsigned while pinned", pinA, false, unsignedList, now, noRecord, V::Untrusted},
        {"verified, but no signer found", pinA, false, byNobodyFound, now, noRecord, V::Untrusted},
        {"another signer", pinA, false, byB, now, noRecord, V::Untrusted},
        {"malformed pin", malformed, false, byA, now, noRecord, V::Untrusted},
        {"untrusted goes before expired and older", pinA, false, byB, now + 1, 11, V::Untrusted},
        {"expired by one second", pinA, false, byA, now + 1, noRecord, V::Expired},
        {"expires this very second", none, false, unsignedList, now, noRecord, V::Accepted},
        {"expired goes before older", none, false, unsignedList, now + 1, 11, V::Expired},
        {"serial lower", pinA, false, byA, 0, 11, V::Older},
        {"serial equal", pinA, false, byA, 0, 10, V::Accepted},
        {"serial higher", pinA, false, byA, 0, 9, V::Accepted},
    };
    const UpdateFeed feed = Feed({{"050101-update.exe", 100}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const FeedDecision decision = DecideFeed(feed, c.signature, c.pins, {c.policy, c.now, c.recorded, 0});
        EXPECT_EQ(decision.verdict, c.verdict);
        EXPECT_EQ(decision.entry.has_value(), c.verdict == V::Accepted);
    }
}

TEST(FeedDecision, TheNewestOfferedToTheBucketFirstListedAmongEqualDates) {
    const struct {
        const char* what;
        int bucket;
        std::vector<std::pair<const char*, int>> packages; // name and rollout
        const char* chosen;                                // nullptr: no package
    } cases[] = {
        {"no packages", 0, {}, nullptr},
        {"rollout 0 reaches nobody", 0, {{"050101-update.exe", 0}}, nullptr},
        {"rollout below the bucket", 30, {{"050101-update.exe", 25}}, nullptr},
        {"rollout at the bucket", 25, {{"050101-update.exe", 25}}, nullptr},
        {"rollout above the bucket", 25, {{"050101-update.exe", 26}}, "050101-update.exe"},
        {"rollout 100 reaches the last bucket", 99, {{"050101-update.exe", 100}}, "050101-update.exe"},
        {"a bucket beyond 99 counts as 99", 250, {{"050101-update.exe", 100}}, "050101-update.exe"},
        {"a bucket below 0 counts as 0", -5, {{"050101-update.exe", 0}}, nullptr},
        {"the newest offered, past a newer one not offered",
         50,
         {{"050101-update.exe", 100}, {"070101-update.exe", 10}, {"060101-update.exe", 51}},
         "060101-update.exe"},
        {"equal dates: the first listed",
         0,
         {{"050101-update.exe", 100}, {"060601-b-update.exe", 100}, {"060601-a-update.exe", 100}},
         "060601-b-update.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const UpdateFeed feed = Feed(c.packages);
        const FeedDecision decision = DecideFeed(feed, {}, {}, {false, 0, std::nullopt, c.bucket});
        EXPECT_EQ(decision.verdict, c.chosen ? FeedVerdict::Accepted : FeedVerdict::NoPackage);
        ASSERT_EQ(decision.entry.has_value(), c.chosen != nullptr);
        if (decision.entry) {
            ASSERT_LT(decision.entry->size - 100, feed.entries.size());
            const FeedEntry& listed = feed.entries[decision.entry->size - 100];
            EXPECT_EQ(listed.name, c.chosen);
            EXPECT_EQ(decision.entry->name, listed.name);
            EXPECT_EQ(decision.entry->rollout, listed.rollout);
            EXPECT_EQ(decision.entry->sha256, listed.sha256);
        }
    }
}
