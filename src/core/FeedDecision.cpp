#include "FeedDecision.h"

#include "PackageChoice.h"

#include <algorithm>

namespace {
bool IsTrusted(const FeedSignature& signature, const ThumbprintList& signers) {
    return signature.verified && signature.digest != SignedDigest::Mismatched && signature.signer &&
           signers.Allows(*signature.signer);
}
} // namespace

FeedDecision DecideFeed(const UpdateFeed& feed, const FeedSignature& signature, const ThumbprintList& signers,
                        const FeedClient& client) {
    const bool required = client.signedListsRequired || signers.status != ThumbprintList::Status::None;
    if (required && !IsTrusted(signature, signers))
        return {FeedVerdict::Untrusted, std::nullopt};
    if (feed.expires < client.now)
        return {FeedVerdict::Expired, std::nullopt};
    if (client.recordedSerial && feed.serial < *client.recordedSerial)
        return {FeedVerdict::Older, std::nullopt};

    // Rollout 0 reaches nobody and 100 everybody, whatever bucket the caller brings.
    const int bucket = std::clamp(client.bucket, 0, 99);
    std::vector<const FeedEntry*> offered;
    std::vector<ListedFile> listing;
    for (const FeedEntry& entry : feed.entries) {
        if (bucket < entry.rollout) {
            offered.push_back(&entry);
            listing.push_back({entry.name, entry.size, false});
        }
    }
    // The same choice as from a server's listing; it names the first listed of its name.
    const std::optional<ListedFile> chosen = ChooseNewestPackage(listing);
    for (const FeedEntry* entry : offered) {
        if (chosen && entry->name == chosen->name)
            return {FeedVerdict::Accepted, *entry};
    }
    return {FeedVerdict::NoPackage, std::nullopt};
}
