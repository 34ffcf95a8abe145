// The update list and the decision on it. A list that is read holds only distinct package names and
// reads back the same when written out again; the decision keeps its order of checks and takes the
// newest package offered to the bucket, the first listed among equal dates. Input: six bytes for the
// client (flags, pin, signer, bucket, the clock and the serial used last relative to the list's), then
// the list.
#include "FuzzCheck.h"
#include "core/AsciiCase.h"
#include "core/FeedDecision.h"
#include "core/PackageName.h"

#include <set>

namespace {
// A time as the list writes it, reckoned the other way round from the parser.
std::string UtcText(std::int64_t seconds) {
    std::int64_t days = seconds / 86400, rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shifted = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    const std::int64_t month = shifted < 10 ? shifted + 3 : shifted - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(year), static_cast<long long>(month), static_cast<long long>(day),
                  static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                  static_cast<long long>(rest % 60));
    return text;
}

// Written plainly, with the line ends and separators varied by the list's own numbers.
std::string FeedText(const UpdateFeed& feed) {
    const std::string end = feed.serial % 2 ? "\r\n" : "\n";
    const std::string gap = feed.expires % 2 ? " \t" : " ";
    std::string text = "Pendlemark feed 1" + end + "expires" + gap + UtcText(feed.expires) + end;
    for (const FeedEntry& entry : feed.entries) {
        text += "package" + gap + entry.name + gap + std::to_string(entry.size) + gap +
                ThumbprintHex(entry.sha256);
        if (entry.rollout != 100)
            text += gap + "rollout" + gap + std::to_string(entry.rollout);
        text += end;
    }
    return text + "serial" + gap + std::to_string(feed.serial) + end;
}

bool SameEntry(const FeedEntry& a, const FeedEntry& b) {
    return a.name == b.name && a.size == b.size && a.sha256 == b.sha256 && a.rollout == b.rollout;
}

void CheckList(const UpdateFeed& feed) {
    std::set<std::string> names;
    for (const FeedEntry& entry : feed.entries) {
        FUZZ_CHECK(IsPackageFileName(entry.name) && entry.size > 0 && entry.rollout >= 0 &&
                   entry.rollout <= 100);
        std::string folded = entry.name;
        for (char& c : folded)
            c = AsciiLower(c);
        FUZZ_CHECK(names.insert(folded).second);
    }
    const std::optional<UpdateFeed> again = ParseUpdateFeed(FeedText(feed));
    FUZZ_CHECK(again && again->serial == feed.serial && again->expires == feed.expires);
    FUZZ_CHECK(again->entries.size() == feed.entries.size());
    for (std::size_t i = 0; i < feed.entries.size(); ++i)
        FUZZ_CHECK(SameEntry(again->entries[i], feed.entries[i]));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t flags = in.Byte();
    ThumbprintList signers;
    signers.status = static_cast<ThumbprintList::Status>(flags % 4 % 3);
    const Thumbprint pinned{in.Byte()};
    if (signers.status == ThumbprintList::Status::Valid)
        signers.thumbprints = {pinned};
    FeedSignature signature;
    signature.verified = flags & 4;
    const Thumbprint signer{in.Byte()};
    if (flags & 8)
        signature.signer = signer;
    signature.digest = static_cast<SignedDigest>(flags / 16 % 4 % 3);
    FeedClient client;
    client.signedListsRequired = flags & 64;
    client.bucket = static_cast<std::int8_t>(in.Byte());
    const std::int8_t clock = static_cast<std::int8_t>(in.Byte());
    const std::int8_t serialStep = static_cast<std::int8_t>(in.Byte());
    const std::optional<UpdateFeed> feed = ParseUpdateFeed(in.Rest());
    if (!feed)
        return 0;
    CheckList(*feed);

    client.now = feed->expires + clock;
    if (flags & 128)
        client.recordedSerial =
            feed->serial + static_cast<std::uint64_t>(static_cast<std::int64_t>(serialStep));
    const FeedDecision decision = DecideFeed(*feed, signature, signers, client);

    const bool required = client.signedListsRequired || signers.status != ThumbprintList::Status::None;
    const bool trusted = signature.verified && signature.digest != SignedDigest::Mismatched &&
                         signature.signer && signers.Allows(*signature.signer);
    const int bucket = client.bucket < 0 ? 0 : client.bucket > 99 ? 99 : client.bucket;
    std::optional<FeedVerdict> refused;
    if (required && !trusted)
        refused = FeedVerdict::Untrusted;
    else if (feed->expires < client.now)
        refused = FeedVerdict::Expired;
    else if (client.recordedSerial && feed->serial < *client.recordedSerial)
        refused = FeedVerdict::Older;
    FUZZ_CHECK(decision.entry.has_value() == (decision.verdict == FeedVerdict::Accepted));
    if (refused) {
        FUZZ_CHECK(decision.verdict == *refused);
        return 0;
    }
    const FeedEntry* chosen = nullptr;
    for (const FeedEntry& entry : feed->entries) {
        if (decision.entry && SameEntry(entry, *decision.entry))
            chosen = &entry;
    }
    bool anyOffered = false;
    for (const FeedEntry& entry : feed->entries) {
        if (bucket >= entry.rollout)
            continue;
        anyOffered = true;
        FUZZ_CHECK(chosen != nullptr && !(*PackageDateOf(chosen->name) < *PackageDateOf(entry.name)));
        // Among equal dates the first listed.
        if (&entry < chosen)
            FUZZ_CHECK(*PackageDateOf(entry.name) < *PackageDateOf(chosen->name));
    }
    FUZZ_CHECK(decision.verdict == (anyOffered ? FeedVerdict::Accepted : FeedVerdict::NoPackage));
    if (chosen)
        FUZZ_CHECK(bucket < chosen->rollout);
    return 0;
}
