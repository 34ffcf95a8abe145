// An update list as the client judges it: against the pins, the policy, the serial of the list used
// last and this user's rollout bucket, as the run's snapshot took them when it began.
#pragma once

#include "UpdatePipeline.h"
#include "core/FeedDecision.h"

#include <optional>
#include <string>

class CRunSnapshot;
class CUpdateRun;

class CUpdateList {
  public:
    explicit CUpdateList(const CRunSnapshot& snapshot);

    // Whether the list's signature file must be fetched at all.
    bool SignatureNeeded() const;
    // Decides on the list's bytes and its signature's (none when the server has none). TRUE with the
    // package to fetch; FALSE with the run's error text. A list that passed its checks is recorded. What
    // the list says goes to the run's log.
    BOOL Choose(const std::string& list, const std::optional<std::string>& signature,
                PackageCandidate& newest, CUpdateRun& run);
    // The list decided on last; nothing before that or when it could not be read.
    const std::optional<UpdateFeed>& Feed() const { return m_feed; }
    // Whether it passed its checks (signature, expiry, serial), offering a package or not.
    bool Passed() const { return m_passed; }

  private:
    ThumbprintList m_signers;
    FeedClient m_client;
    std::optional<UpdateFeed> m_feed;
    bool m_passed = false;
};
