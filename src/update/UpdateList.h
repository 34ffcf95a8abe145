// An update list as the client judges it: against the pins, the policy, the serial of the list used
// last and this user's rollout bucket, read when the run begins.
#pragma once

#include "UpdatePipeline.h"
#include "core/FeedDecision.h"

#include <optional>
#include <string>

class CUpdateList {
  public:
    // Reads the state in force now; draws and keeps a rollout bucket where there is none.
    CUpdateList();

    // "RequireSignedFeed": the machine policy when it holds the value, else the user's; any value that
    // is not a DWORD of 0 requires, so a damaged value never weakens the rule.
    static bool SignedListsRequired();
    // The user's bucket, 0-99, drawn from the platform's generator when missing or out of range.
    static int LoadRolloutBucket();

    // Whether the list's signature file must be fetched at all.
    bool SignatureNeeded() const;
    // Decides on the list's bytes and its signature's (none when the server has none). TRUE with the
    // package to fetch; FALSE with the run's error text. A list that passed its checks is recorded. What
    // the list says goes to the run's log.
    BOOL Choose(const std::string& list, const std::optional<std::string>& signature,
                PackageCandidate& newest, CString& errorText, const UpdateContext& context);
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
